#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Url.h"

namespace tumbla {

// A command's arguments: string keys to string values.
using QueryParameters = std::map<std::string, std::string, std::less<>>;

// Splits the raw query at "&", each piece at "=", and decodes key and value after
// splitting (so %26 and %3D survive as characters). The last of a repeated key wins;
// parts after a second "=" are dropped. A piece without "=" is its key with an empty
// value; empty pieces and pieces with an escape that does not decode are skipped, so the
// rest of the command still works.
QueryParameters queryParams(const Url& url);

// The text with its percent escapes replaced, the bytes read as UTF-8; "+" stays.
// Nothing when an escape is malformed or the bytes are not UTF-8.
std::optional<std::string> urlDecode(std::string_view text);

// A parameter's value, or nothing when the key is absent.
std::optional<std::string> parameter(const QueryParameters& parameters, std::string_view key);

// A parameter's leading decimal number as a 32-bit integer: white space skipped, optional
// sign, digits up to the first other character, clamped to the range; 0 when there is no
// number or no parameter.
std::int32_t integerParameter(const QueryParameters& parameters, std::string_view key);

}  // namespace tumbla
