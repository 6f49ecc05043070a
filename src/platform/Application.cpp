#include "platform/Application.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "value/Ascii.h"

namespace tumbla {

std::string_view lifecycleEventName(LifecycleEvent event) {
  switch (event) {
    case LifecycleEvent::WillResignActive:
      return "applicationWillResignActive:";
    case LifecycleEvent::DidBecomeActive:
      return "applicationDidBecomeActive:";
    case LifecycleEvent::DidEnterBackground:
      return "applicationDidEnterBackground:";
    case LifecycleEvent::WillEnterForeground:
      return "applicationWillEnterForeground:";
    case LifecycleEvent::WillTerminate:
      return "applicationWillTerminate:";
  }
  return "";
}

void Application::finishLaunching(ApplicationDelegate& delegate) {
  delegate.applicationDidFinishLaunching();
  Platform::shared().notificationCenter().post(std::string(kDidFinishLaunchingNotification), this);
}

void Application::deliver(ApplicationDelegate& delegate, LifecycleEvent event) {
  switch (event) {
    case LifecycleEvent::WillResignActive:
      delegate.applicationWillResignActive();
      break;
    case LifecycleEvent::DidBecomeActive:
      delegate.applicationDidBecomeActive();
      break;
    case LifecycleEvent::DidEnterBackground:
      delegate.applicationDidEnterBackground();
      break;
    case LifecycleEvent::WillEnterForeground:
      delegate.applicationWillEnterForeground();
      Platform::shared().notificationCenter().post(std::string(kWillEnterForegroundNotification),
                                                   this);
      break;
    case LifecycleEvent::WillTerminate:
      delegate.applicationWillTerminate();
      break;
  }
}

namespace {

// Whether `earlier` happened less than `seconds` before `now`.
bool within(const std::optional<double>& earlier, double now, double seconds) {
  return earlier && now - *earlier < seconds;
}

}  // namespace

bool Application::openURL(const Url& url) {
  Platform& platform = Platform::shared();
  double now = platform.runLoop().uptime();
  bool handedOver = false;
  if (!equalsIgnoringAsciiCase(url.scheme(), "http") &&
      !equalsIgnoringAsciiCase(url.scheme(), "https")) {
    refuse(url, "only http and https addresses leave the game", now);
  } else if (within(lastGesture_, now, kGestureLifetimeSeconds)) {
    lastGesture_.reset();
    handedOver = openURLImpl(url);
  } else if (within(lastUnpromptedOpening_, now, kUnpromptedOpeningGapSeconds)) {
    refuse(url, "without the player's click or key, one address a second leaves the game", now);
  } else {
    lastUnpromptedOpening_ = now;
    handedOver = openURLImpl(url);
  }
  if (platform.isTracing()) {
    platform.trace({{"event", "open-outside"},
                    {"url", url.absoluteString()},
                    {"handedOver", Value::boolean(handedOver)}});
  }
  return handedOver;
}

void Application::playerGestured() {
  lastGesture_ = Platform::shared().runLoop().uptime();
}

void Application::refuse(const Url& url, std::string_view why, double now) {
  bool burstGoesOn = within(lastRefusal_, now, kUnpromptedOpeningGapSeconds);
  lastRefusal_ = now;
  if (burstGoesOn) return;
  logLine("refused to open " + url.absoluteString() + " outside the game: " + std::string(why) +
          " (more refusals right after this one are not logged)");
}

}  // namespace tumbla
