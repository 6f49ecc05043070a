#include "json/SBJsonConveniences.h"

#include "json/SBJsonParser.h"
#include "json/SBJsonWriter.h"
#include "platform/Log.h"

namespace tumbla {

namespace {

template <typename Result>
Result logIfFailed(Result result, const SBJsonBase& worker, std::string_view operation) {
  if (!result) {
    const SBJsonBase::ErrorTrace* trace = worker.errorTrace();
    std::string line = "-";
    line.append(operation);
    line += " failed. Error trace is: ";
    line += SBJsonBase::describeErrorTrace(trace != nullptr ? *trace : SBJsonBase::ErrorTrace{});
    logLine(line);
  }
  return result;
}

}  // namespace

std::optional<std::string> JSONRepresentation(const Value& value) {
  SBJsonWriter writer;
  return logIfFailed(writer.stringWithObject(value), writer, "JSONRepresentation");
}

std::optional<std::string> JSONFragment(const Value& value) {
  SBJsonWriter writer;
  return logIfFailed(writer.stringWithFragment(value), writer, "JSONFragment");
}

std::optional<Value> JSONValue(std::string_view text) {
  SBJsonParser parser;
  return logIfFailed(parser.objectWithString(text), parser, "JSONValue");
}

std::optional<Value> JSONFragmentValue(std::string_view text) {
  SBJsonParser parser;
  return logIfFailed(parser.fragmentWithString(text), parser, "JSONFragmentValue");
}

}  // namespace tumbla
