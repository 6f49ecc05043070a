#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace tumbla {

namespace {
std::unique_ptr<Platform>& installed() {
  static std::unique_ptr<Platform> platform;
  return platform;
}
unsigned long installs = 0;
}  // namespace

Platform& Platform::shared() {
  if (!installed()) {
    // A programming error, not a run-time condition: nothing can work without one.
    std::fputs("tumbla: no platform installed\n", stderr);
    std::abort();
  }
  return *installed();
}

void Platform::install(std::unique_ptr<Platform> platform) {
  installed() = std::move(platform);
  ++installs;
}

unsigned long Platform::generation() {
  return installs;
}

void Platform::uninstall() {
  installed().reset();
}

Platform::Platform(std::unique_ptr<Storage> storage, const PreferencesStoreMaker& makePreferences)
    : storage_(std::move(storage)), userDefaults_(makePreferences(*storage_)) {}

}  // namespace tumbla
