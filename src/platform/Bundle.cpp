#include "platform/Bundle.h"

#include <system_error>

namespace tumbla {

std::optional<std::string> resourceInDirectory(const std::filesystem::path& directory,
                                               std::string_view name, std::string_view type) {
  std::string fileName(name);
  if (!type.empty()) fileName.append(".").append(type);
  std::filesystem::path relative(fileName);
  // A resource name never leads out of the bundle.
  if (fileName.empty() || relative.is_absolute()) return std::nullopt;
  for (const auto& part : relative) {
    if (part == "..") return std::nullopt;
  }
  std::filesystem::path path = directory / relative;
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  return path.string();
}

}  // namespace tumbla
