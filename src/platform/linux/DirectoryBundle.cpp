#include "platform/linux/DirectoryBundle.h"

#include <system_error>

#include "platform/linux/LinuxStorage.h"

namespace tumbla {

Result<std::unique_ptr<DirectoryBundle>> DirectoryBundle::open(
    const std::filesystem::path& directory, const PropertyLists& propertyLists) {
  std::error_code error;
  if (!std::filesystem::is_directory(directory, error)) {
    return Failure{"the bundle directory " + directory.string() +
                   " does not exist or is not a directory"};
  }
  std::filesystem::path infoFile = directory / "Info.plist";
  if (!std::filesystem::exists(infoFile, error)) {
    return Failure{"the bundle has no Info.plist: " + infoFile.string()};
  }
  Result<std::string> bytes = LinuxStorage::readWholeFile(infoFile);
  if (!bytes) return bytes.failure();
  std::optional<Value> info = propertyLists.parse(*bytes);
  if (!info || !info->isDictionary()) {
    return Failure{infoFile.string() + " is not a property-list dictionary"};
  }
  std::filesystem::path absolute = std::filesystem::absolute(directory, error);
  return std::unique_ptr<DirectoryBundle>(new DirectoryBundle(
      error ? directory : absolute.lexically_normal(), std::move(*info->dictionaryIf())));
}

DirectoryBundle::DirectoryBundle(std::filesystem::path directory, Dictionary info)
    : directory_(std::move(directory)), info_(std::move(info)) {}

Result<std::string> DirectoryBundle::readResource(const std::filesystem::path& path) const {
  return LinuxStorage::readWholeFile(path);
}

const Value* DirectoryBundle::objectForInfoDictionaryKey(std::string_view key) const {
  return info_.find(key);
}

std::optional<std::string> DirectoryBundle::pathForResource(std::string_view name,
                                                            std::string_view type) const {
  return resourceInDirectory(directory_, name, type);
}

}  // namespace tumbla
