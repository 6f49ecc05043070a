#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/UserDefaults.h"
#include "platform/Window.h"
#include "platform/WindowPlacement.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/PanelKeyboard.h"

namespace tumbla {

// The application's top-level window, of the page's shape. It opens at the largest size of
// that shape that fits comfortably on the monitor, or as the player left it last time, and
// can be resized, maximised and made full screen: the views are scaled to fill it, keeping
// their aspect ratio, with black bars where the window's shape differs. With settings to
// keep it in, it remembers its size, position and full screen as they change.
//
// The desktop has no accelerometer, so Ctrl+Shift+S stands in for shaking the device: it
// reports a shake to the window's motion handler. F11 toggles full screen. The other keys
// go to the game's page, or to a native panel while one is shown (see PanelKeyboard).
class GtkAppWindow : public GtkView<Window>, public std::enable_shared_from_this<GtkAppWindow> {
 public:
  // `remembered` (may be null) keeps the window's placement across runs; it outlives this.
  GtkAppWindow(HostDispatcher& dispatcher, Rect frame, UserDefaults* remembered = nullptr);
  ~GtkAppWindow() override;

  GtkWindow* toplevel() const { return GTK_WINDOW(toplevel_); }

  void makeKeyAndVisible() override;

  void setTitle(const std::string& title);
  // An image file; one that can't be read leaves the desktop's default icon.
  void setIconFile(const std::string& path);
  void setFullscreen(bool fullscreen);
  bool isFullscreen() const { return fullscreen_; }
  // Full screen for this run only (the command line's wish): what is remembered stays the
  // player's own choice.
  void forceFullscreen();

 protected:
  void frameChanged() override;

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  void applySize();
  // The remembered size and position when they still fit a monitor, else the page fitted to
  // the monitor the window opens on.
  void placeForOpening();
  // Scales the views to fill a window of this size at their aspect ratio, centred.
  void fitTo(int width, int height);
  void applyFullscreen(bool fullscreen);
  void placementChanged();
  void saveRememberedNow();

  HostDispatcher& dispatcher_;
  UserDefaults* rememberedIn_;
  GtkWidget* toplevel_;
  GtkWidget* letterbox_;
  PanelKeyboard keyboard_;
  bool fullscreen_ = false;
  bool maximized_ = false;
  // What is remembered: the last size and position in a plain window, and full screen.
  RememberedWindow remembered_;
  bool fullscreenForced_ = false;
  // The pending save of a changed placement; moves and resizes come in bursts.
  guint saveSource_ = 0;
  bool unsaved_ = false;
};

}  // namespace tumbla
