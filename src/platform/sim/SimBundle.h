#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/Bundle.h"

namespace tumbla {

// A bundle in a folder of the test's, with an information dictionary set in code.
class SimBundle : public Bundle {
 public:
  explicit SimBundle(std::filesystem::path directory) : directory_(std::move(directory)) {}

  const Value* objectForInfoDictionaryKey(std::string_view key) const override {
    return info_.find(key);
  }
  std::optional<std::string> pathForResource(std::string_view name,
                                             std::string_view type) const override;
  std::vector<std::string> pathsForResourcesOfType(std::string_view type) const override {
    return resourcesOfTypeInDirectory(directory_, type);
  }
  Result<std::string> readResource(const std::filesystem::path& path) const override;

  void setInfo(std::string_view key, Value value) { info_.set(key, std::move(value)); }
  // Writes a resource file into the bundle's folder and answers its path.
  std::string addResource(std::string_view fileName, std::string_view contents);
  const std::filesystem::path& directory() const { return directory_; }

 private:
  std::filesystem::path directory_;
  Dictionary info_;
};

}  // namespace tumbla
