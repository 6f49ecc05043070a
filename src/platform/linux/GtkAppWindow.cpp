#include "platform/linux/GtkAppWindow.h"

#include <algorithm>
#include <cmath>

#include "platform/Log.h"
#include "platform/linux/HostOperation.h"

namespace tumbla {

GtkAppWindow::GtkAppWindow(Rect frame)
    : GtkView<Window>(nullptr, frame),
      toplevel_(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL))) {
  gtk_window_set_title(GTK_WINDOW(toplevel_), "Tumbla");
  gtk_window_set_resizable(GTK_WINDOW(toplevel_), FALSE);
  gtk_container_add(GTK_CONTAINER(toplevel_), viewWidget().widget());
  // Closing is the application's decision (it saves first), not GTK's default destroy;
  // connected last so that the application's own handler sees the request.
  g_signal_connect_after(toplevel_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  g_signal_connect(toplevel_, "key-press-event", G_CALLBACK(onKeyPress), this);
  applySize();
}

GtkAppWindow::~GtkAppWindow() {
  g_signal_handlers_disconnect_by_data(toplevel_, this);
  gtk_widget_destroy(toplevel_);
  g_object_unref(toplevel_);
}

void GtkAppWindow::makeKeyAndVisible() {
  gtk_widget_show(toplevel_);
  gtk_window_present(GTK_WINDOW(toplevel_));
}

void GtkAppWindow::setTitle(const std::string& title) {
  gtk_window_set_title(GTK_WINDOW(toplevel_), title.c_str());
}

void GtkAppWindow::setIconFile(const std::string& path) {
  GError* error = nullptr;
  if (!gtk_window_set_icon_from_file(GTK_WINDOW(toplevel_), path.c_str(), &error)) {
    logLine("the window icon " + path + " can't be used: " + error->message);
    g_error_free(error);
  }
}

void GtkAppWindow::setFullscreen(bool fullscreen) {
  fullscreen_ = fullscreen;
  if (fullscreen) {
    gtk_window_fullscreen(GTK_WINDOW(toplevel_));
  } else {
    gtk_window_unfullscreen(GTK_WINDOW(toplevel_));
  }
}

void GtkAppWindow::frameChanged() {
  applySize();
}

void GtkAppWindow::applySize() {
  // The game is only ever played in landscape: the window shows the screen turned, the
  // longer side across.
  Rect shown{0, 0, std::max(frame().width, frame().height),
             std::min(frame().width, frame().height)};
  viewWidget().place(shown, transform());
  auto width = static_cast<int>(std::lround(shown.width));
  auto height = static_cast<int>(std::lround(shown.height));
  gtk_window_set_default_size(GTK_WINDOW(toplevel_), width, height);
  gtk_widget_set_size_request(toplevel_, width, height);
}

gboolean GtkAppWindow::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  constexpr auto kShakeModifiers = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  GdkModifierType modifiers =
      GdkModifierType(event->state & gtk_accelerator_get_default_mod_mask());
  auto* window = static_cast<GtkAppWindow*>(self);
  if (event->keyval == GDK_KEY_F11 && modifiers == 0) {
    window->setFullscreen(!window->isFullscreen());
    return TRUE;
  }
  bool isShakeKey = event->keyval == GDK_KEY_S || event->keyval == GDK_KEY_s;
  if (!isShakeKey || modifiers != kShakeModifiers) return FALSE;
  HostOperation::run([shaken = window->weak_from_this()] {
    if (auto shown = shaken.lock())
      shown->motionEnded({EventType::Motion, EventSubtype::MotionShake});
  });
  return TRUE;
}

}  // namespace tumbla
