#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tumbla {

// Replaces each "%" and two hexadecimal digits by that byte and reads the result as
// UTF-8. "+" stays as it is. Answers nothing when an escape is malformed or the bytes
// are not valid UTF-8.
std::optional<std::string> percentDecodeUtf8(std::string_view text);

// Escapes every byte outside the URL's unreserved characters and "/" as %XX.
std::string percentEncodePath(std::string_view text);

// Escapes every byte outside the unreserved characters (letters, digits, "-", ".", "_",
// "~") as %XX with uppercase digits: a query value that survives any server's reading.
std::string percentEncodeComponent(std::string_view text);

}  // namespace tumbla
