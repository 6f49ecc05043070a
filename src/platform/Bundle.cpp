#include "platform/Bundle.h"

#include <algorithm>
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

std::vector<std::string> resourcesOfTypeInDirectory(const std::filesystem::path& directory,
                                                    std::string_view type) {
  std::vector<std::string> paths;
  std::string suffix = "." + std::string(type);
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    std::string name = it->path().filename().string();
    if (name.size() <= suffix.size() || !name.ends_with(suffix)) continue;
    std::error_code typeError;
    if (it->is_regular_file(typeError)) paths.push_back(it->path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace tumbla
