#pragma once

#include <functional>
#include <memory>

#include "platform/Application.h"
#include "platform/Audio.h"
#include "platform/Bundle.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Storage.h"
#include "platform/UrlLoading.h"
#include "platform/UserDefaults.h"
#include "platform/UserInterface.h"
#include "value/Value.h"

namespace tumbla {

// The services of the system the host runs on, reached the way mobile code reaches the
// system's singletons. The app installs the real platform in an application context; each
// test installs a fresh simulated one.
class Platform {
 public:
  using TraceSink = std::function<void(const Dictionary& event)>;

  // The current application context's platform; installing one is the first thing a
  // process or test does.
  static Platform& shared();

  // Makes the preferences store over the platform's storage, which it outlives.
  using PreferencesStoreMaker = std::function<std::unique_ptr<PreferencesStore>(Storage&)>;

  Platform(std::unique_ptr<Storage> storage, const PreferencesStoreMaker& makePreferences);
  virtual ~Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  virtual RunLoop& runLoop() = 0;
  virtual const Bundle& bundle() const = 0;
  virtual const PropertyLists& propertyLists() const = 0;
  virtual Application& application() = 0;
  virtual UserInterface& userInterface() = 0;
  virtual UrlLoader& urlLoader() = 0;
  virtual Audio& audio() = 0;

  NotificationCenter& notificationCenter() { return notificationCenter_; }
  UserDefaults& userDefaults() { return userDefaults_; }
  Storage& storage() { return *storage_; }

  // Bridge events for people debugging a page (--trace); dropped when no sink is set.
  void setTraceSink(TraceSink sink) { traceSink_ = std::move(sink); }
  // Lets callers skip building events nobody reads.
  bool isTracing() const { return static_cast<bool>(traceSink_); }
  void trace(const Dictionary& event) const {
    if (traceSink_) traceSink_(event);
  }

 private:
  NotificationCenter notificationCenter_;
  // Before the defaults, whose store reads through it from the start.
  std::unique_ptr<Storage> storage_;
  UserDefaults userDefaults_;
  TraceSink traceSink_;
};

}  // namespace tumbla
