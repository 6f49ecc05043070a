#pragma once

#include <filesystem>
#include <memory>

#include "platform/Platform.h"
#include "platform/sim/SimApplication.h"
#include "platform/sim/SimAudio.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimPreferencesStore.h"
#include "platform/sim/SimPropertyLists.h"
#include "platform/sim/SimRunLoop.h"
#include "platform/sim/SimStorage.h"
#include "platform/sim/SimUrlLoader.h"
#include "platform/sim/SimUserInterface.h"

namespace tumbla {

// The deterministic platform for tests: virtual time, recorded effects, files in memory
// and a bundle in a temporary folder that goes away with the platform.
class SimPlatform : public Platform {
 public:
  // Makes a fresh platform and installs it as the shared one.
  static SimPlatform& install(std::shared_ptr<SimPreferencesStore::Image> preferences = nullptr);

  ~SimPlatform() override;

  SimRunLoop& runLoop() override { return runLoop_; }
  const Bundle& bundle() const override { return bundle_; }
  const PropertyLists& propertyLists() const override { return propertyLists_; }
  SimApplication& application() override { return application_; }
  SimUserInterface& userInterface() override { return userInterface_; }
  SimUrlLoader& urlLoader() override { return urlLoader_; }
  SimAudio& audio() override { return audio_; }

  SimBundle& simBundle() { return bundle_; }
  SimStorage& simStorage() { return static_cast<SimStorage&>(storage()); }
  std::filesystem::path preferencesFile() { return SimPreferencesStore::fileIn(storage()); }
  SimPropertyLists& simPropertyLists() { return propertyLists_; }
  // What synchronize wrote; shared so a test can start a second platform from it.
  const std::shared_ptr<SimPreferencesStore::Image>& storedPreferences() const {
    return preferences_;
  }

 private:
  SimPlatform(const std::filesystem::path& root,
              std::shared_ptr<SimPreferencesStore::Image> preferences);

  std::filesystem::path root_;
  std::shared_ptr<SimPreferencesStore::Image> preferences_;
  SimRunLoop runLoop_;
  SimBundle bundle_;
  SimPropertyLists propertyLists_;
  SimApplication application_;
  SimUserInterface userInterface_;
  SimUrlLoader urlLoader_{runLoop_};
  SimAudio audio_{runLoop_};
};

}  // namespace tumbla
