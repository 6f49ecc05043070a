#include "platform/WindowPlacement.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace tumbla {

namespace {

constexpr std::string_view kXKey = "windowX";
constexpr std::string_view kYKey = "windowY";
constexpr std::string_view kWidthKey = "windowWidth";
constexpr std::string_view kHeightKey = "windowHeight";
constexpr std::string_view kFullScreenKey = "windowFullScreen";

bool contains(const WindowGeometry& area, double x, double y) {
  return x >= area.x && x < area.x + area.width && y >= area.y && y < area.y + area.height;
}

}  // namespace

WindowGeometry fitPageToWorkArea(const Size& page, const WindowGeometry& workArea,
                                 int scaleFactor) {
  if (page.width <= 0 || page.height <= 0 || workArea.width <= 0 || workArea.height <= 0) {
    return workArea;
  }
  int scale = std::max(scaleFactor, 1);
  // In device pixels, so that a window on a dense screen uses every one of them.
  double roomWidth = std::floor(workArea.width * scale * kComfortableShare);
  double roomHeight = std::floor(workArea.height * scale * kComfortableShare);
  double zoom = std::min(roomWidth / page.width, roomHeight / page.height);
  // The window's measures are whole logical pixels, each of `scale` device pixels; a
  // product that lands a hair below a whole number by rounding still reaches it.
  constexpr double kRounding = 1e-6;
  int width = std::max(1, static_cast<int>(std::floor(page.width * zoom / scale + kRounding)));
  int height = std::max(1, static_cast<int>(std::floor(page.height * zoom / scale + kRounding)));
  return {workArea.x + (workArea.width - width) / 2, workArea.y + (workArea.height - height) / 2,
          width, height};
}

std::optional<WindowGeometry> stillFitting(const WindowGeometry& remembered,
                                           const std::vector<WindowGeometry>& workAreas) {
  if (remembered.width <= 0 || remembered.height <= 0) return std::nullopt;
  double centreX = remembered.x + remembered.width / 2.0;
  double centreY = remembered.y + remembered.height / 2.0;
  for (const WindowGeometry& area : workAreas) {
    if (!contains(area, centreX, centreY)) continue;
    if (remembered.width > area.width || remembered.height > area.height) return std::nullopt;
    return remembered;
  }
  return std::nullopt;
}

RememberedWindow RememberedWindow::read(const UserDefaults& defaults) {
  RememberedWindow remembered;
  remembered.fullScreen = defaults.boolForKey(kFullScreenKey);
  if (!defaults.objectForKey(kXKey) || !defaults.objectForKey(kYKey)) return remembered;
  auto measure = [&defaults](std::string_view key) {
    return static_cast<int>(
        std::clamp<std::int64_t>(defaults.integerForKey(key), -1000000, 1000000));
  };
  WindowGeometry geometry{measure(kXKey), measure(kYKey), measure(kWidthKey), measure(kHeightKey)};
  if (geometry.width > 0 && geometry.height > 0) remembered.geometry = geometry;
  return remembered;
}

void RememberedWindow::write(UserDefaults& defaults) const {
  defaults.setBool(kFullScreenKey, fullScreen);
  if (!geometry) return;
  defaults.setInteger(kXKey, geometry->x);
  defaults.setInteger(kYKey, geometry->y);
  defaults.setInteger(kWidthKey, geometry->width);
  defaults.setInteger(kHeightKey, geometry->height);
}

}  // namespace tumbla
