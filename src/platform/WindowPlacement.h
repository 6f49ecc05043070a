#pragma once

#include <optional>
#include <vector>

#include "platform/UserDefaults.h"
#include "platform/View.h"

namespace tumbla {

// A window's place on the desktop, in the desktop's logical pixels (a monitor with a scale
// factor of 2 shows each of them as 2x2 device pixels).
struct WindowGeometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const WindowGeometry&) const = default;
};

// How much of a monitor's work area a new window takes at most: comfortably inside it,
// with room around it for the desktop's own panels and the window's frame.
inline constexpr double kComfortableShare = 0.88;

// The largest window of the page's shape that fits comfortably in the work area, at whole
// device pixels for the monitor's scale factor, centred on it.
WindowGeometry fitPageToWorkArea(const Size& page, const WindowGeometry& workArea, int scaleFactor);

// The remembered geometry when it still fits on one of the monitors (given by their work
// areas): its centre lies on that monitor, and it is no larger than its work area. A
// monitor unplugged since, or a resolution made smaller, makes the window open anew.
std::optional<WindowGeometry> stillFitting(const WindowGeometry& remembered,
                                           const std::vector<WindowGeometry>& workAreas);

// The window as the player left it, kept in the settings beside the game's own.
struct RememberedWindow {
  // Nothing until the window was first placed, or when a stored value is missing or not
  // a positive size.
  std::optional<WindowGeometry> geometry;
  bool fullScreen = false;

  static RememberedWindow read(const UserDefaults& defaults);
  void write(UserDefaults& defaults) const;
  bool operator==(const RememberedWindow&) const = default;
};

}  // namespace tumbla
