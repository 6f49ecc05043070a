#pragma once

#include <optional>
#include <string_view>

namespace tumbla {

// Orders dotted version strings ("1.2.10"). Each is cut at every "." (empty pieces
// count); a piece's value is its leading 32-bit integer, compared unsigned, so "-1"
// ranks above every non-negative piece. With equal common pieces the longer version is
// the newer: "1.0" is newer than "1". An absent receiver compares equal to everything;
// an absent argument has no pieces. Answers 1 when the receiver is newer, -1 when older.
int compareVersion(std::optional<std::string_view> receiver, std::optional<std::string_view> other);

// The mirror of compareVersion, for sorting newest first.
int compareVersionDescending(std::optional<std::string_view> receiver,
                             std::optional<std::string_view> other);

}  // namespace tumbla
