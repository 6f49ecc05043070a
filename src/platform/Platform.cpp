#include "platform/Platform.h"

#include "platform/ApplicationContext.h"

namespace tumbla {

Platform& Platform::shared() {
  return ApplicationContext::current().platform();
}

Platform::Platform(std::unique_ptr<Storage> storage, const PreferencesStoreMaker& makePreferences)
    : storage_(std::move(storage)), userDefaults_(makePreferences(*storage_)) {}

}  // namespace tumbla
