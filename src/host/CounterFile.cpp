#include "host/CounterFile.h"

#include "platform/Platform.h"
#include "value/LeadingNumber.h"

namespace tumbla::CounterFile {

std::optional<std::int32_t> read(const std::string& path) {
  Result<std::string> text = Platform::shared().fileManager().readFile(path);
  if (!text || text->empty()) return std::nullopt;
  return leadingInt32(*text);
}

Status write(const std::string& path, std::int32_t value) {
  return Platform::shared().fileManager().writeFileAtomically(path, std::to_string(value));
}

}  // namespace tumbla::CounterFile
