#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "value/Value.h"

namespace tumbla {

// One-call conversions with a fresh worker of default settings. On failure each answers
// nothing and logs one line, "-<name> failed. Error trace is: (code N: message; ...)",
// with the trace innermost first.

// An array or a dictionary as compact JSON text.
std::optional<std::string> JSONRepresentation(const Value& value);
// Any value as compact JSON text.
std::optional<std::string> JSONFragment(const Value& value);
// JSON text whose top level is an array or an object.
std::optional<Value> JSONValue(std::string_view text);
// JSON text holding any value.
std::optional<Value> JSONFragmentValue(std::string_view text);

}  // namespace tumbla
