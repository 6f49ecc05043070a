#pragma once

namespace tumbla {

// How the desktop shows the game's window.
struct DesktopWindowOptions {
  bool fullscreen = false;
  // Opens the web engine's developer tools beside the page.
  bool developerTools = false;
};

}  // namespace tumbla
