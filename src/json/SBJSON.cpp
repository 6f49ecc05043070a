#include "json/SBJSON.h"

namespace tumbla {

SBJSON::SBJSON() {
  setMaxDepth(kDefaultMaxDepth);
}

void SBJSON::setMaxDepth(unsigned maxDepth) {
  jsonParser_.setMaxDepth(maxDepth);
  jsonWriter_.setMaxDepth(maxDepth);
}

void SBJSON::takeFailure(const SBJsonBase& worker, std::shared_ptr<const Error>* error) {
  const ErrorTrace* trace = worker.errorTrace();
  replaceErrorTrace(trace != nullptr ? *trace : ErrorTrace{});
  if (error != nullptr) *error = trace != nullptr && !trace->empty() ? trace->back() : nullptr;
}

std::optional<Value> SBJSON::objectWithString(std::optional<std::string_view> text) {
  return objectWithString(text, false, nullptr);
}

std::optional<Value> SBJSON::objectWithString(std::optional<std::string_view> text,
                                              bool allowScalar,
                                              std::shared_ptr<const Error>* error) {
  std::optional<Value> value =
      allowScalar ? jsonParser_.fragmentWithString(text) : jsonParser_.objectWithString(text);
  if (!value) takeFailure(jsonParser_, error);
  return value;
}

std::optional<Value> SBJSON::fragmentWithString(std::optional<std::string_view> text,
                                                std::shared_ptr<const Error>* error) {
  return objectWithString(text, true, error);
}

std::optional<Value> SBJSON::objectWithString(std::optional<std::string_view> text,
                                              std::shared_ptr<const Error>* error) {
  return objectWithString(text, false, error);
}

std::optional<std::string> SBJSON::stringWithObject(const Value& value) {
  return stringWithObject(value, false, nullptr);
}

std::optional<std::string> SBJSON::stringWithObject(const Value& value, bool allowScalar,
                                                    std::shared_ptr<const Error>* error) {
  std::optional<std::string> text =
      allowScalar ? jsonWriter_.stringWithFragment(value) : jsonWriter_.stringWithObject(value);
  if (!text) takeFailure(jsonWriter_, error);
  return text;
}

std::optional<std::string> SBJSON::stringWithFragment(const Value& value,
                                                      std::shared_ptr<const Error>* error) {
  return stringWithObject(value, true, error);
}

std::optional<std::string> SBJSON::stringWithObject(const Value& value,
                                                    std::shared_ptr<const Error>* error) {
  return stringWithObject(value, false, error);
}

}  // namespace tumbla
