#include "host/CounterFile.h"

#include "platform/Platform.h"
#include "value/LeadingNumber.h"

namespace tumbla::CounterFile {

Result<std::optional<std::int32_t>> read(const std::string& path) {
  const Storage& files = Platform::shared().storage();
  if (!files.fileExists(path)) return std::optional<std::int32_t>();
  Result<std::string> text = files.readFile(path);
  if (!text) return text.failure();
  if (text->empty()) return std::optional<std::int32_t>();
  return std::optional<std::int32_t>(leadingInt32(*text));
}

Status write(const std::string& path, std::int32_t value) {
  return Platform::shared().storage().writeFileAtomically(path, std::to_string(value));
}

}  // namespace tumbla::CounterFile
