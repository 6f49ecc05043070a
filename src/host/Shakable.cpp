#include "host/Shakable.h"

#include <string>

#include "platform/Platform.h"

namespace tumbla {

void makeShakable(Window& window) {
  window.setMotionHandler([](Window& shaken, const MotionEvent& event) {
    if (event.type == EventType::Motion && event.subtype == EventSubtype::MotionShake) {
      Platform::shared().notificationCenter().post(std::string(kDeviceShakenNotification), &shaken);
    }
  });
}

}  // namespace tumbla
