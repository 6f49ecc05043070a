#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Url.h"

namespace tumbla {

enum class UserInterfaceIdiom { Phone = 0, Pad = 1 };

// The interface orientations, by the codes the system gives them.
enum class InterfaceOrientation : int {
  Portrait = 1,
  PortraitUpsideDown = 2,
  LandscapeRight = 3,
  LandscapeLeft = 4
};

struct DeviceFacts {
  // Nothing on a system that does not know idioms.
  std::optional<UserInterfaceIdiom> idiom;
  // The hardware model identifier ("iPhone3,1" on a phone; the machine name here).
  std::string model;
  std::string systemVersion;
};

enum class LifecycleEvent {
  WillResignActive,
  DidBecomeActive,
  DidEnterBackground,
  WillEnterForeground,
  WillTerminate
};

// The name under which the event reaches the application delegate.
std::string_view lifecycleEventName(LifecycleEvent event);

// Notifications the platform posts on the default centre.
inline constexpr std::string_view kDidFinishLaunchingNotification =
    "UIApplicationDidFinishLaunchingNotification";
inline constexpr std::string_view kWillEnterForegroundNotification =
    "UIApplicationWillEnterForegroundNotification";

class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidFinishLaunching() = 0;
  virtual void applicationWillResignActive() {}
  virtual void applicationDidBecomeActive() {}
  virtual void applicationDidEnterBackground() {}
  virtual void applicationWillEnterForeground() {}
  virtual void applicationWillTerminate() {}
};

// Runs the application: launch, events, the outside world.
class Application {
 public:
  virtual ~Application() = default;

  // Opens the URL outside the application (the desktop's handler); answers whether it
  // could be handed over.
  virtual bool openURL(const Url& url) = 0;
  virtual DeviceFacts deviceFacts() const = 0;

  // Launches `delegate`, then delivers events until the application ends; answers the
  // process's exit status.
  virtual int run(ApplicationDelegate& delegate) = 0;

 protected:
  // Shared by every platform: the launch and each lifecycle event reach the delegate,
  // and the notifications that go with them are posted after it.
  void finishLaunching(ApplicationDelegate& delegate);
  void deliver(ApplicationDelegate& delegate, LifecycleEvent event);
};

}  // namespace tumbla
