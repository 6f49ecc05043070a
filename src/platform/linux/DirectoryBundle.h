#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "platform/Bundle.h"
#include "platform/Result.h"

namespace tumbla {

// A bundle that is a directory: Info.plist holds the information dictionary, and every
// other file in it is a resource.
class DirectoryBundle : public Bundle {
 public:
  // The bundle, or a failure naming what is missing or unreadable.
  static Result<std::unique_ptr<DirectoryBundle>> open(const std::filesystem::path& directory,
                                                       const PropertyLists& propertyLists);

  const std::filesystem::path& directory() const { return directory_; }

  const Value* objectForInfoDictionaryKey(std::string_view key) const override;
  std::optional<std::string> pathForResource(std::string_view name,
                                             std::string_view type) const override;
  std::vector<std::string> pathsForResourcesOfType(std::string_view type) const override {
    return resourcesOfTypeInDirectory(directory_, type);
  }
  Result<std::string> readResource(const std::filesystem::path& path) const override;

 private:
  DirectoryBundle(std::filesystem::path directory, Dictionary info);

  std::filesystem::path directory_;
  Dictionary info_;
};

}  // namespace tumbla
