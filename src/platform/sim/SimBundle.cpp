#include "platform/sim/SimBundle.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/Storage.h"

namespace tumbla {

std::optional<std::string> SimBundle::pathForResource(std::string_view name,
                                                      std::string_view type) const {
  return resourceInDirectory(directory_, name, type);
}

Result<std::string> SimBundle::readResource(const std::filesystem::path& path) const {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    if (error) return storageFailure("can't open", path, error.value());
    return Failure{path.string() + " is not a regular file"};
  }
  std::ifstream file(path, std::ios::binary);
  std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!file.is_open() || file.bad()) return storageFailure("can't read", path, EIO);
  return contents;
}

std::string SimBundle::addResource(std::string_view fileName, std::string_view contents) {
  std::filesystem::path path = directory_ / std::string(fileName);
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

}  // namespace tumbla
