#pragma once

#include <gtk/gtk.h>

#include <memory>

#include "platform/Window.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// The application's top-level window, always in landscape at the size it was made with.
//
// The desktop has no accelerometer, so Ctrl+Shift+S stands in for shaking the device: it
// reports a shake to the window's motion handler.
class GtkAppWindow : public GtkView<Window>, public std::enable_shared_from_this<GtkAppWindow> {
 public:
  explicit GtkAppWindow(Rect frame);
  ~GtkAppWindow() override;

  GtkWindow* toplevel() const { return GTK_WINDOW(toplevel_); }

  void makeKeyAndVisible() override;

 protected:
  void frameChanged() override;

 private:
  static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  void applySize();

  GtkWidget* toplevel_;
};

}  // namespace tumbla
