#pragma once

#include <string_view>

namespace tumbla {

// The entries of one notice in a notices list; the page bridge reads the same ones.
inline constexpr std::string_view iNotifyTitleKey = "Title";
inline constexpr std::string_view iNotifyMessageKey = "Message";
inline constexpr std::string_view iNotifyActionURLKey = "ActionURL";
inline constexpr std::string_view iNotifyActionButtonKey = "ActionButton";

}  // namespace tumbla
