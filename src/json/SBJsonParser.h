#pragma once

#include <optional>
#include <string_view>

#include "json/SBJsonBase.h"
#include "value/Value.h"

namespace tumbla {

// A strict JSON reader with an error trace. Numbers become decimal values that keep
// their exact text; objects become dictionaries (a repeated key replaces the earlier
// value), arrays arrays, strings UTF-8 strings. Two leniencies are kept on purpose: the
// comma between elements or members may be left out ([1 2]), and nothing after a
// literal is examined (truex reads true and leaves x to whoever reads on).
//
// Nesting is handled with an explicit stack, so no input can exhaust the call stack,
// whatever maxDepth is. One parser serves one thread at a time.
class SBJsonParser : public SBJsonBase {
 public:
  // Parses a text whose top level must be an array or an object. No text at all
  // (std::nullopt) is an error of its own.
  std::optional<Value> objectWithString(std::optional<std::string_view> text);
  // Parses any JSON value at the top level, also a bare string, number or literal.
  std::optional<Value> fragmentWithString(std::optional<std::string_view> text);
};

}  // namespace tumbla
