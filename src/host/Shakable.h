#pragma once

#include <string_view>

#include "platform/Window.h"

namespace tumbla {

inline constexpr std::string_view kDeviceShakenNotification = "DeviceShaken";

// Makes the window report a shake of the device as the notification "DeviceShaken",
// with the window as its sender. Every other motion is ignored.
void makeShakable(Window& window);

}  // namespace tumbla
