#include "host/CounterFile.h"

#include <algorithm>
#include <limits>

#include "platform/Platform.h"

namespace tumbla::CounterFile {

std::optional<std::int32_t> read(const std::string& path) {
  std::optional<std::string> text = Platform::shared().fileManager().readFile(path);
  if (!text || text->empty()) return std::nullopt;
  std::int64_t wide = Value(*text).toInteger().value_or(0);
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      wide, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool write(const std::string& path, std::int32_t value) {
  return Platform::shared().fileManager().writeFileAtomically(path, std::to_string(value));
}

}  // namespace tumbla::CounterFile
