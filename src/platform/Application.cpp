#include "platform/Application.h"

#include "platform/Platform.h"

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

}  // namespace tumbla
