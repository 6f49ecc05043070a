#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tumbla {

// The script that calls the page's global object: "Tumbla.<function>(<arguments>)", the
// arguments already written as script text and separated by commas.
std::string pageCall(std::string_view function,
                     std::initializer_list<std::string_view> arguments = {});

// A number the page reads as a number.
std::string integerArgument(std::int64_t value);
// An on/off switch as the page's setters take it: 1 or 0.
std::string_view switchArgument(bool on);

}  // namespace tumbla
