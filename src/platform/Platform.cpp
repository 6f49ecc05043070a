#include "platform/Platform.h"

#include "platform/ApplicationContext.h"

namespace tumbla {

Platform& Platform::shared() {
  return ApplicationContext::current().platform();
}

Platform::Platform(std::unique_ptr<PreferencesStore> preferences, std::filesystem::path documents)
    : userDefaults_(std::move(preferences)), fileManager_(std::move(documents)) {}

}  // namespace tumbla
