#include "platform/linux/GtkAppWindow.h"

#include <algorithm>
#include <cmath>

#include "platform/Log.h"

namespace tumbla {

struct GtkAppWindow::Signals {
  static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean onKeyRelease(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean onConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
};

namespace {

void paintBarsBlack(GtkWidget* toplevel) {
  GtkCssProvider* style = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style, "window, layout { background-color: #000; }", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(toplevel), GTK_STYLE_PROVIDER(style),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(style);
}

}  // namespace

GtkAppWindow::GtkAppWindow(HostDispatcher& dispatcher, Rect frame)
    : GtkView<Window>(nullptr, frame),
      dispatcher_(dispatcher),
      toplevel_(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL))),
      keyboard_(GTK_WINDOW(toplevel_)) {
  gtk_window_set_title(GTK_WINDOW(toplevel_), "Tumbla");
  // The views keep their size in points; the window shows them scaled to fill it, centred
  // on black bars where its shape differs. A layout lets the window shrink below what its
  // content asks for.
  letterbox_ = gtk_layout_new(nullptr, nullptr);
  gtk_layout_put(GTK_LAYOUT(letterbox_), viewWidget().widget(), 0, 0);
  gtk_container_add(GTK_CONTAINER(toplevel_), letterbox_);
  gtk_widget_show(letterbox_);
  paintBarsBlack(toplevel_);
  g_signal_connect(toplevel_, "configure-event", G_CALLBACK(Signals::onConfigure), this);
  // Closing is the application's decision (it saves first), not GTK's default destroy;
  // connected last so that the application's own handler sees the request.
  g_signal_connect_after(toplevel_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  g_signal_connect(toplevel_, "key-press-event", G_CALLBACK(Signals::onKeyPress), this);
  g_signal_connect(toplevel_, "key-release-event", G_CALLBACK(Signals::onKeyRelease), this);
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

Rect GtkAppWindow::landscapeBounds() const {
  // The game is only ever played in landscape: the window shows the screen turned, the
  // longer side across.
  return {0, 0, std::max(frame().width, frame().height), std::min(frame().width, frame().height)};
}

void GtkAppWindow::applySize() {
  Rect shown = landscapeBounds();
  viewWidget().place(shown, transform());
  auto width = static_cast<int>(std::lround(shown.width));
  auto height = static_cast<int>(std::lround(shown.height));
  gtk_window_set_default_size(GTK_WINDOW(toplevel_), width, height);
  // Down to half size; larger as the player likes.
  gtk_widget_set_size_request(toplevel_, width / 2, height / 2);
  fitTo(width, height);
}

void GtkAppWindow::fitTo(int width, int height) {
  Rect shown = landscapeBounds();
  if (shown.width <= 0 || shown.height <= 0 || width <= 0 || height <= 0) return;
  double scale = std::min(width / shown.width, height / shown.height);
  ViewWidget::setScale(scale);
  gtk_layout_move(GTK_LAYOUT(letterbox_), viewWidget().widget(),
                  static_cast<int>(std::lround((width - shown.width * scale) / 2)),
                  static_cast<int>(std::lround((height - shown.height * scale) / 2)));
}

gboolean GtkAppWindow::Signals::onConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
  static_cast<GtkAppWindow*>(self)->fitTo(event->width, event->height);
  return FALSE;
}

gboolean GtkAppWindow::Signals::onKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
  constexpr auto kShakeModifiers = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  GdkModifierType modifiers =
      GdkModifierType(event->state & gtk_accelerator_get_default_mod_mask());
  auto* window = static_cast<GtkAppWindow*>(self);
  if (event->keyval == GDK_KEY_F11 && modifiers == 0) {
    window->setFullscreen(!window->isFullscreen());
    return TRUE;
  }
  bool isShakeKey = event->keyval == GDK_KEY_S || event->keyval == GDK_KEY_s;
  if (!isShakeKey || modifiers != kShakeModifiers) {
    window->keyboard_.handleKeyPress(event);
    return TRUE;
  }
  window->dispatcher_.dispatch([shaken = window->weak_from_this()] {
    if (auto shown = shaken.lock())
      shown->motionEnded({EventType::Motion, EventSubtype::MotionShake});
  });
  return TRUE;
}

gboolean GtkAppWindow::Signals::onKeyRelease(GtkWidget*, GdkEventKey* event, gpointer self) {
  return static_cast<GtkAppWindow*>(self)->keyboard_.handleKeyRelease(event) ? TRUE : FALSE;
}

}  // namespace tumbla
