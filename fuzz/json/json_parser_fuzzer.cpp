// Any bytes, any depth limit: the parser answers a value or an error trace, never a
// crash, and a failure always leaves at least one error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "json/SBJsonParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the limit, so that no limit and small limits are both reached.
  unsigned maxDepth = data[0] % 4 == 0 ? 0 : data[0];
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  tumbla::SBJsonParser parser;
  parser.setMaxDepth(maxDepth);
  for (bool fragment : {true, false}) {
    std::optional<tumbla::Value> value =
        fragment ? parser.fragmentWithString(text) : parser.objectWithString(text);
    const tumbla::SBJsonBase::ErrorTrace* trace = parser.errorTrace();
    if (value.has_value() != (trace == nullptr)) std::abort();
    if (trace != nullptr && trace->empty()) std::abort();
  }
  return 0;
}
