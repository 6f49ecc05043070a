// Whatever parses must write, as well-formed UTF-8 (parsed strings are not checked again
// when written), and what is written must parse back to an equal value, in compact and in
// human-readable sorted form.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/SBJsonParser.h"
#include "json/SBJsonWriter.h"
#include "value/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tumbla::SBJsonParser parser;
  std::optional<tumbla::Value> value = parser.fragmentWithString(text);
  if (!value) return 0;

  tumbla::SBJsonWriter writer;
  for (bool humanReadable : {false, true}) {
    writer.setHumanReadable(humanReadable);
    writer.setSortKeys(humanReadable);
    std::optional<std::string> written = writer.stringWithFragment(*value);
    if (!written || !tumbla::isValidUtf8(*written)) std::abort();
    std::optional<tumbla::Value> again = parser.fragmentWithString(*written);
    if (!again || !(*again == *value)) std::abort();
    // Compact text is canonical: writing the re-read value gives the same text.
    if (!humanReadable && writer.stringWithFragment(*again) != written) std::abort();
  }
  return 0;
}
