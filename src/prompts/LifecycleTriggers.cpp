#include "prompts/LifecycleTriggers.h"

#include <string>

#include "platform/Platform.h"

namespace tumbla {

LifecycleTriggers::LifecycleTriggers(std::function<void()> launched,
                                     std::function<void()> enteredForeground) {
  NotificationCenter& center = Platform::shared().notificationCenter();
  launched_ =
      center.addObserver(std::string(kDidFinishLaunchingNotification), nullptr,
                         [launched = std::move(launched)](const Notification&) { launched(); });
  enteredForeground_ = center.addObserver(
      std::string(kWillEnterForegroundNotification), nullptr,
      [entered = std::move(enteredForeground)](const Notification&) { entered(); });
}

}  // namespace tumbla
