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
  // Whether the system offers the platform's game service (leaderboards); none here.
  bool hasGameService = false;
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

  // The one way out of the game to the desktop's handler (its browser), for the page, the
  // prompts, the dialogs and the host's own buttons alike. Only http and https addresses
  // leave. An opening that follows a fresh gesture of the player (a real key press or
  // click in a window of the game, good for one opening) goes at once; without one, at
  // most one opening a second goes, so that a page, a login page or a script the host ran
  // can't flood the desktop. What is refused is logged, once for each burst. Answers
  // whether the address was handed over.
  bool openURL(const Url& url);
  virtual DeviceFacts deviceFacts() const = 0;

  // Launches `delegate`, then delivers events until the application ends; answers the
  // process's exit status.
  virtual int run(ApplicationDelegate& delegate) = 0;

 protected:
  // Shared by every platform: the launch and each lifecycle event reach the delegate,
  // and the notifications that go with them are posted after it.
  void finishLaunching(ApplicationDelegate& delegate);
  void deliver(ApplicationDelegate& delegate, LifecycleEvent event);

  // Hands `url` to the desktop; answers whether it could.
  virtual bool openURLImpl(const Url& url) = 0;
  // The backend tells of each real key press or pointer click in a window of the game.
  void playerGestured();

 private:
  // Long enough for a click to reach the page and come back as its link on a busy machine.
  static constexpr double kGestureLifetimeSeconds = 3.0;
  static constexpr double kUnpromptedOpeningGapSeconds = 1.0;

  // Logs a refusal unless it belongs to a burst whose first refusal was logged.
  void refuse(const Url& url, std::string_view why, double now);

  // On the run loop's uptime.
  std::optional<double> lastGesture_;
  std::optional<double> lastUnpromptedOpening_;
  std::optional<double> lastRefusal_;
};

}  // namespace tumbla
