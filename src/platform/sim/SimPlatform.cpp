#include "platform/sim/SimPlatform.h"

#include <cstdlib>
#include <string>

#include "platform/ApplicationContext.h"

namespace tumbla {

namespace {

std::filesystem::path makeTemporaryRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tumbla-sim-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  std::filesystem::create_directories(std::filesystem::path(pattern) / "Bundle");
  return pattern;
}

}  // namespace

SimPlatform& SimPlatform::install(std::shared_ptr<SimPreferencesStore::Image> preferences) {
  if (!preferences) preferences = std::make_shared<SimPreferencesStore::Image>();
  auto* platform = new SimPlatform(makeTemporaryRoot(), std::move(preferences));
  ApplicationContext::install(std::unique_ptr<Platform>(platform));
  return *platform;
}

SimPlatform::SimPlatform(const std::filesystem::path& root,
                         std::shared_ptr<SimPreferencesStore::Image> preferences)
    : Platform(std::make_unique<SimStorage>(root / "Documents"),
               SimPreferencesStore::maker(preferences)),
      root_(root),
      preferences_(std::move(preferences)),
      bundle_(root / "Bundle") {}

SimPlatform::~SimPlatform() {
  std::error_code error;
  std::filesystem::remove_all(root_, error);
}

}  // namespace tumbla
