#pragma once

#include <vector>

#include "platform/Application.h"

namespace tumbla {

// Turns what happens to the desktop window into the application's lifecycle events, in
// the order the mobile system sends them, never the same state twice in a row (a second
// focus loss, a restore of a window that was never iconified, events after the end).
class DesktopLifecycle {
 public:
  using Events = std::vector<LifecycleEvent>;

  // The application has launched and becomes active, as a launched mobile app does.
  Events launched();
  Events focusGained();
  Events focusLost();
  Events iconified();
  Events restored();
  // The window was closed, or the process was asked to stop (SIGTERM, SIGINT, SIGHUP):
  // the application passes through the background and ends, so that what is saved on
  // entering the background is saved either way.
  Events closed();

 private:
  enum class State { NotRunning, Active, Inactive, Background, Terminated };

  State state_ = State::NotRunning;
};

}  // namespace tumbla
