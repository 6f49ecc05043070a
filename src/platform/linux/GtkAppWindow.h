#pragma once

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/Window.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/PanelKeyboard.h"

namespace tumbla {

// The application's top-level window, always in landscape. It can be resized, maximised and
// made full screen: the views are scaled to fill it, keeping their aspect ratio, with black
// bars where the window's shape differs.
//
// The desktop has no accelerometer, so Ctrl+Shift+S stands in for shaking the device: it
// reports a shake to the window's motion handler. F11 toggles full screen. The other keys
// go to the game's page, or to a native panel while one is shown (see PanelKeyboard).
class GtkAppWindow : public GtkView<Window>, public std::enable_shared_from_this<GtkAppWindow> {
 public:
  GtkAppWindow(HostDispatcher& dispatcher, Rect frame);
  ~GtkAppWindow() override;

  GtkWindow* toplevel() const { return GTK_WINDOW(toplevel_); }

  void makeKeyAndVisible() override;

  void setTitle(const std::string& title);
  // An image file; one that can't be read leaves the desktop's default icon.
  void setIconFile(const std::string& path);
  void setFullscreen(bool fullscreen);
  bool isFullscreen() const { return fullscreen_; }

 protected:
  void frameChanged() override;

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  Rect landscapeBounds() const;
  void applySize();
  // Scales the views to fill a window of this size at their aspect ratio, centred.
  void fitTo(int width, int height);

  HostDispatcher& dispatcher_;
  GtkWidget* toplevel_;
  GtkWidget* letterbox_;
  PanelKeyboard keyboard_;
  bool fullscreen_ = false;
};

}  // namespace tumbla
