#include "platform/linux/LinuxApplication.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/utsname.h>

#include "platform/Log.h"
#include "platform/linux/EarlyTermination.h"
#include "platform/linux/GLibPointers.h"

namespace tumbla {

struct LinuxApplication::Signals {
  static gboolean onFocusIn(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onFocusOut(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static gboolean onDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean onTerminationSignal(gpointer self);
  static gboolean onFocusSettled(gpointer self);
  static void onEvent(GdkEvent* event, gpointer self);
};

LinuxApplication::LinuxApplication(HostDispatcher& dispatcher, UserInterfaceIdiom idiom,
                                   GtkUserInterface& userInterface)
    : dispatcher_(dispatcher), idiom_(idiom), userInterface_(userInterface) {}

bool LinuxApplication::openURLImpl(const Url& url) {
  const std::string& text = url.absoluteString();
  GErrorSlot error;
  bool handedOver = false;
  const char* command = g_getenv("TUMBLA_OPEN_URL_COMMAND");
  if (command && *command) {
    // No shell: the URL is one argument whatever it contains.
    char* argv[] = {const_cast<char*>(command), const_cast<char*>(text.c_str()), nullptr};
    handedOver = g_spawn_async(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                               nullptr, error.out());
  } else {
    handedOver = g_app_info_launch_default_for_uri(text.c_str(), nullptr, error.out());
  }
  if (!handedOver) logLine("could not open " + text + ": " + error.message());
  return handedOver;
}

DeviceFacts LinuxApplication::deviceFacts() const {
  DeviceFacts facts;
  facts.idiom = idiom_;
  utsname system{};
  if (uname(&system) == 0) facts.model = system.machine;
  facts.systemVersion = kLinuxSystemVersion;
  return facts;
}

int LinuxApplication::run(ApplicationDelegate& delegate) {
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  running_ = std::make_shared<Running>(Running{*this, delegate, loop, {}});
  {
    HostDispatcher::Busy launching = dispatcher_.enterHost();
    finishLaunching(delegate);
  }
  std::shared_ptr<GtkAppWindow> window = userInterface_.mainWindow();
  if (window) follow(*window);
  guint terminateSource = g_unix_signal_add(SIGTERM, Signals::onTerminationSignal, this);
  guint interruptSource = g_unix_signal_add(SIGINT, Signals::onTerminationSignal, this);
  guint hangUpSource = g_unix_signal_add(SIGHUP, Signals::onTerminationSignal, this);
  // Every event of every window passes here first, so that the player's own keys and
  // clicks are known (the one gate for leaving the game asks for them).
  gdk_event_handler_set(Signals::onEvent, this, nullptr);
  onDesktopChange(&DesktopLifecycle::launched, false);
  // One that came while the game was starting ends it now, the way it would have then.
  if (EarlyTermination::requested()) onDesktopChange(&DesktopLifecycle::closed, true);
  // The loop may have been asked to end before it ran: quitting a loop that is not running
  // would be forgotten once it starts.
  if (!running_->quitting) g_main_loop_run(loop);
  gdk_event_handler_set([](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr,
                        nullptr);

  running_.reset();
  g_main_loop_unref(loop);
  g_source_remove(terminateSource);
  g_source_remove(interruptSource);
  g_source_remove(hangUpSource);
  if (window) g_signal_handlers_disconnect_by_data(window->toplevel(), this);
  cancelFocusCheck();
  return 0;
}

void LinuxApplication::onDesktopChange(Change change, bool thenQuit) {
  dispatcher_.dispatch([weakRunning = std::weak_ptr(running_), change, thenQuit] {
    std::shared_ptr<Running> running = weakRunning.lock();
    if (!running) return;
    for (LifecycleEvent event : (running->lifecycle.*change)()) {
      running->application.deliver(running->delegate, event);
    }
    if (!thenQuit) return;
    running->quitting = true;
    g_main_loop_quit(running->loop);
  });
}

void LinuxApplication::Signals::onEvent(GdkEvent* event, gpointer self) {
  GdkEventType type = gdk_event_get_event_type(event);
  // An event sent by a program (a script's, an assistive tool's) is not the player's.
  if ((type == GDK_KEY_PRESS || type == GDK_BUTTON_PRESS) && event->any.send_event == FALSE) {
    static_cast<LinuxApplication*>(self)->playerGestured();
  }
  gtk_main_do_event(event);
}

void LinuxApplication::follow(GtkAppWindow& window) {
  GtkWindow* toplevel = window.toplevel();
  g_signal_connect(toplevel, "focus-in-event", G_CALLBACK(Signals::onFocusIn), this);
  g_signal_connect(toplevel, "focus-out-event", G_CALLBACK(Signals::onFocusOut), this);
  g_signal_connect(toplevel, "window-state-event", G_CALLBACK(Signals::onWindowState), this);
  g_signal_connect(toplevel, "delete-event", G_CALLBACK(Signals::onDelete), this);
}

gboolean LinuxApplication::Signals::onFocusIn(GtkWidget*, GdkEvent*, gpointer self) {
  auto* application = static_cast<LinuxApplication*>(self);
  application->cancelFocusCheck();
  application->onDesktopChange(&DesktopLifecycle::focusGained, false);
  return FALSE;
}

gboolean LinuxApplication::Signals::onFocusOut(GtkWidget*, GdkEvent*, gpointer self) {
  // Where the focus went is only settled a moment later: a menu or a pop-up (the page's
  // own drop-downs) takes its grab after the window has let the focus go.
  auto* application = static_cast<LinuxApplication*>(self);
  application->cancelFocusCheck();
  application->focusCheck_ = g_timeout_add(kFocusSettleMilliseconds, Signals::onFocusSettled, self);
  return FALSE;
}

gboolean LinuxApplication::Signals::onFocusSettled(gpointer self) {
  auto* application = static_cast<LinuxApplication*>(self);
  application->focusCheck_ = 0;
  if (!application->focusStayedWithUs()) {
    application->onDesktopChange(&DesktopLifecycle::focusLost, false);
  }
  return G_SOURCE_REMOVE;
}

void LinuxApplication::cancelFocusCheck() {
  if (focusCheck_ != 0) g_source_remove(focusCheck_);
  focusCheck_ = 0;
}

bool LinuxApplication::focusStayedWithUs() const {
  // A menu, pop-up or modal dialog of this process holds a grab while it is open.
  if (gtk_grab_get_current() != nullptr) return true;
  std::shared_ptr<GtkAppWindow> main = userInterface_.mainWindow();
  bool withUs = false;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item && !withUs; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    bool visible = gtk_widget_get_mapped(GTK_WIDGET(window));
    // The game's window itself (focus back already), another of its windows (a dialog of
    // the host's), or a pop-up window of its own that is shown.
    bool ownPopUp = gtk_window_get_window_type(window) == GTK_WINDOW_POPUP &&
                    (!main || window != main->toplevel()) &&
                    gtk_window_get_transient_for(window) != nullptr;
    withUs = visible && (gtk_window_is_active(window) || ownPopUp);
  }
  g_list_free(toplevels);
  return withUs;
}

gboolean LinuxApplication::Signals::onWindowState(GtkWidget*, GdkEventWindowState* event,
                                                  gpointer self) {
  if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    bool iconified = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
    static_cast<LinuxApplication*>(self)->onDesktopChange(
        iconified ? &DesktopLifecycle::iconified : &DesktopLifecycle::restored, false);
  }
  return FALSE;
}

gboolean LinuxApplication::Signals::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
  static_cast<LinuxApplication*>(self)->onDesktopChange(&DesktopLifecycle::closed, true);
  return TRUE;
}

gboolean LinuxApplication::Signals::onTerminationSignal(gpointer self) {
  static_cast<LinuxApplication*>(self)->onDesktopChange(&DesktopLifecycle::closed, true);
  return G_SOURCE_CONTINUE;
}

}  // namespace tumbla
