#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace tumbla {

// A string of the bundle's information dictionary; nothing when absent or not a string.
inline std::optional<std::string> infoDictionaryString(std::string_view key) {
  const Value* value = Platform::shared().bundle().objectForInfoDictionaryKey(key);
  if (!value || !value->stringIf()) return std::nullopt;
  return std::string(*value->stringIf());
}

}  // namespace tumbla
