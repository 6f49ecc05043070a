#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tumbla {

// A JavaScript string literal, in double quotes, that evaluates to exactly `text`
// whatever it holds: quotes, backslashes, line breaks, "</script>" or script. Text that
// is not valid UTF-8 has its bad bytes replaced by U+FFFD.
std::string javaScriptStringLiteral(std::string_view text);

// The same for an argument that may be missing, written as the text "(null)".
std::string javaScriptOptionalStringLiteral(const std::optional<std::string>& text);

}  // namespace tumbla
