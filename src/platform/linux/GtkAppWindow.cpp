#include "platform/linux/GtkAppWindow.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/Log.h"

namespace tumbla {

struct GtkAppWindow::Signals {
  static gboolean onKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean onKeyRelease(GtkWidget* widget, GdkEventKey* event, gpointer self);
  static gboolean onConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
  static gboolean onWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  static gboolean onSaveDue(gpointer self);
};

namespace {

// How long the placement must stay still before it is saved.
constexpr guint kSaveDelayMilliseconds = 500;

WindowGeometry workAreaOf(GdkMonitor* monitor) {
  GdkRectangle area;
  gdk_monitor_get_workarea(monitor, &area);
  return {area.x, area.y, area.width, area.height};
}

std::vector<WindowGeometry> workAreas(GdkDisplay* display) {
  int monitors = gdk_display_get_n_monitors(display);
  std::vector<WindowGeometry> areas;
  areas.reserve(static_cast<std::size_t>(std::max(monitors, 0)));
  for (int i = 0; i < monitors; ++i) {
    areas.push_back(workAreaOf(gdk_display_get_monitor(display, i)));
  }
  return areas;
}

// Where a new window opens: the primary monitor, or the first one when none is primary.
GdkMonitor* openingMonitor(GdkDisplay* display) {
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor && gdk_display_get_n_monitors(display) > 0) {
    monitor = gdk_display_get_monitor(display, 0);
  }
  return monitor;
}

void paintBarsBlack(GtkWidget* toplevel) {
  GtkCssProvider* style = gtk_css_provider_new();
  gtk_css_provider_load_from_data(style, "window, layout { background-color: #000; }", -1, nullptr);
  gtk_style_context_add_provider(gtk_widget_get_style_context(toplevel), GTK_STYLE_PROVIDER(style),
                                 GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(style);
}

}  // namespace

GtkAppWindow::GtkAppWindow(HostDispatcher& dispatcher, Rect frame, UserDefaults* remembered)
    : GtkView<Window>(nullptr, frame),
      dispatcher_(dispatcher),
      rememberedIn_(remembered),
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
  g_signal_connect(toplevel_, "window-state-event", G_CALLBACK(Signals::onWindowState), this);
  // Closing is the application's decision (it saves first), not GTK's default destroy;
  // connected last so that the application's own handler sees the request.
  g_signal_connect_after(toplevel_, "delete-event", G_CALLBACK(gtk_true), nullptr);
  g_signal_connect(toplevel_, "key-press-event", G_CALLBACK(Signals::onKeyPress), this);
  g_signal_connect(toplevel_, "key-release-event", G_CALLBACK(Signals::onKeyRelease), this);
  applySize();
  placeForOpening();
}

GtkAppWindow::~GtkAppWindow() {
  // A change still waiting for its save is kept all the same.
  if (saveSource_ != 0) g_source_remove(saveSource_);
  if (unsaved_) saveRememberedNow();
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

void GtkAppWindow::forceFullscreen() {
  fullscreenForced_ = true;
  applyFullscreen(true);
}

void GtkAppWindow::setFullscreen(bool fullscreen) {
  fullscreenForced_ = false;
  applyFullscreen(fullscreen);
}

void GtkAppWindow::applyFullscreen(bool fullscreen) {
  fullscreen_ = fullscreen;
  if (fullscreen) {
    gtk_window_fullscreen(GTK_WINDOW(toplevel_));
  } else {
    gtk_window_unfullscreen(GTK_WINDOW(toplevel_));
  }
  placementChanged();
}

void GtkAppWindow::frameChanged() {
  applySize();
}

void GtkAppWindow::applySize() {
  Rect shown = bounds();
  viewWidget().place(shown, transform());
  auto width = static_cast<int>(std::lround(shown.width));
  auto height = static_cast<int>(std::lround(shown.height));
  // Down to half the page's size; larger as the player likes.
  gtk_widget_set_size_request(toplevel_, width / 2, height / 2);
}

void GtkAppWindow::placeForOpening() {
  auto pageWidth = static_cast<int>(std::lround(bounds().width));
  auto pageHeight = static_cast<int>(std::lround(bounds().height));
  WindowGeometry opening{0, 0, pageWidth, pageHeight};
  GdkDisplay* display = gtk_widget_get_display(toplevel_);
  // Without settings to keep its placement in (a window of the tests) the page opens at
  // its own size, where the window manager puts it.
  if (rememberedIn_) {
    remembered_ = RememberedWindow::read(*rememberedIn_);
    std::optional<WindowGeometry> fitting;
    if (remembered_.geometry) fitting = stillFitting(*remembered_.geometry, workAreas(display));
    GdkMonitor* monitor = openingMonitor(display);
    if (!fitting && monitor) {
      fitting = fitPageToWorkArea({bounds().width, bounds().height}, workAreaOf(monitor),
                                  gdk_monitor_get_scale_factor(monitor));
    }
    if (fitting) {
      opening = *fitting;
      gtk_window_move(GTK_WINDOW(toplevel_), opening.x, opening.y);
    }
  }
  gtk_window_set_default_size(GTK_WINDOW(toplevel_), opening.width, opening.height);
  fitTo(opening.width, opening.height);
  if (remembered_.fullScreen) setFullscreen(true);
}

void GtkAppWindow::placementChanged() {
  if (!rememberedIn_) return;
  RememberedWindow now = remembered_;
  if (!fullscreen_ && !maximized_ && gtk_widget_get_mapped(toplevel_)) {
    WindowGeometry geometry;
    gtk_window_get_position(GTK_WINDOW(toplevel_), &geometry.x, &geometry.y);
    gtk_window_get_size(GTK_WINDOW(toplevel_), &geometry.width, &geometry.height);
    now.geometry = geometry;
  }
  // Full screen asked for on the command line is for this run; the player's own stays.
  if (!fullscreenForced_) now.fullScreen = fullscreen_;
  if (now == remembered_) return;
  remembered_ = now;
  unsaved_ = true;
  if (saveSource_ != 0) g_source_remove(saveSource_);
  saveSource_ = g_timeout_add(kSaveDelayMilliseconds, Signals::onSaveDue, this);
}

void GtkAppWindow::saveRememberedNow() {
  unsaved_ = false;
  remembered_.write(*rememberedIn_);
  // A failed write is logged by the settings themselves, and tried again with the next.
  std::ignore = rememberedIn_->synchronize();
}

void GtkAppWindow::fitTo(int width, int height) {
  Rect shown = bounds();
  if (shown.width <= 0 || shown.height <= 0 || width <= 0 || height <= 0) return;
  double scale = std::min(width / shown.width, height / shown.height);
  ViewWidget::setScale(scale);
  gtk_layout_move(GTK_LAYOUT(letterbox_), viewWidget().widget(),
                  static_cast<int>(std::lround((width - shown.width * scale) / 2)),
                  static_cast<int>(std::lround((height - shown.height * scale) / 2)));
}

gboolean GtkAppWindow::Signals::onConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
  auto* window = static_cast<GtkAppWindow*>(self);
  window->fitTo(event->width, event->height);
  window->placementChanged();
  return FALSE;
}

gboolean GtkAppWindow::Signals::onWindowState(GtkWidget*, GdkEventWindowState* event,
                                              gpointer self) {
  auto* window = static_cast<GtkAppWindow*>(self);
  constexpr auto kPlacementStates =
      GdkWindowState(GDK_WINDOW_STATE_FULLSCREEN | GDK_WINDOW_STATE_MAXIMIZED);
  if ((event->changed_mask & kPlacementStates) == 0) return FALSE;
  // The desktop may change either by itself (its own full-screen key, a double click on
  // the title bar).
  window->fullscreen_ = (event->new_window_state & GDK_WINDOW_STATE_FULLSCREEN) != 0;
  window->maximized_ = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
  window->placementChanged();
  return FALSE;
}

gboolean GtkAppWindow::Signals::onSaveDue(gpointer self) {
  auto* window = static_cast<GtkAppWindow*>(self);
  window->saveSource_ = 0;
  // Through the dispatcher, like every other change of the settings: never in the middle
  // of the host's own work.
  window->dispatcher_.dispatch([placed = window->weak_from_this()] {
    if (auto shown = placed.lock()) shown->saveRememberedNow();
  });
  return G_SOURCE_REMOVE;
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
