#pragma once

#include <glib.h>

#include <memory>
#include <string_view>
#include <vector>

#include "platform/Application.h"
#include "platform/linux/DesktopLifecycle.h"
#include "platform/linux/GtkUserInterface.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// The system version the device reports. It is a fact of the device the page is shown as
// (a current phone or tablet), not of the Linux distribution: a distribution numbered
// below 4 must not send the host down the older system's launch path.
inline constexpr std::string_view kLinuxSystemVersion = "17.0";

// Runs the application on the GTK main loop and turns desktop events into lifecycle
// events: focus lost (to another program: not to a menu, pop-up or dialog of this one)
// and gained, iconified and restored, and the window closed or SIGTERM,
// SIGINT or SIGHUP, each of which takes the application through the background to
// applicationWillTerminate so that it can save.
class LinuxApplication : public Application {
 public:
  LinuxApplication(HostDispatcher& dispatcher, UserInterfaceIdiom idiom,
                   GtkUserInterface& userInterface);

  // Outside URLs go to the desktop's default handler, or, when TUMBLA_OPEN_URL_COMMAND
  // names a program, to that program with the URL as its one argument (so that tests can
  // see what would be opened without starting a browser).
  DeviceFacts deviceFacts() const override;
  int run(ApplicationDelegate& delegate) override;

 protected:
  bool openURLImpl(const Url& url) override;

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  using Change = DesktopLifecycle::Events (DesktopLifecycle::*)();
  // What a run has, owned by the application while it runs: the desktop changes
  // dispatched to the host hold it weakly, so that one still held when the run is over
  // finds nothing.
  struct Running {
    LinuxApplication& application;
    ApplicationDelegate& delegate;
    GMainLoop* loop;
    DesktopLifecycle lifecycle;
    // Set once the application was asked to end, even before its loop ran.
    bool quitting = false;
  };

  // Applies a desktop change through the dispatcher: its lifecycle events reach the
  // delegate in order, and the application ends afterwards when `thenQuit`.
  void onDesktopChange(Change change, bool thenQuit);
  void follow(GtkAppWindow& window);

  void cancelFocusCheck();
  // Whether the focus went to a window of this process: the page's drop-down, a menu, a
  // dialog of the host's, or back to the game's window.
  bool focusStayedWithUs() const;

  static constexpr guint kFocusSettleMilliseconds = 150;

  HostDispatcher& dispatcher_;
  UserInterfaceIdiom idiom_;
  GtkUserInterface& userInterface_;
  std::shared_ptr<Running> running_;
  guint focusCheck_ = 0;
};

}  // namespace tumbla
