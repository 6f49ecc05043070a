#include "host/PageCall.h"

#include <charconv>

namespace tumbla {

std::string pageCall(std::string_view function, std::initializer_list<std::string_view> arguments) {
  std::string script = "Tumbla.";
  script.append(function).push_back('(');
  bool first = true;
  for (std::string_view argument : arguments) {
    if (!first) script.push_back(',');
    script.append(argument);
    first = false;
  }
  script.push_back(')');
  return script;
}

std::string integerArgument(std::int64_t value) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  (void)error;  // 24 characters hold every 64-bit integer.
  return std::string(digits, end);
}

std::string_view switchArgument(bool on) {
  return on ? "1" : "0";
}

}  // namespace tumbla
