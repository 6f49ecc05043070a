#pragma once

#include <functional>

namespace tumbla {

// A piece of host work that must not be interleaved with another: a script evaluation
// being waited on, a web-view delegate call, a lifecycle event, a timer.
//
// Script evaluation here is synchronous only because the caller iterates the main loop
// until the engine answers, and that nested iteration also dispatches whatever else the
// loop has: the page's next command, a finished load, a focus change. The host was
// written for a platform whose evaluation does not run the loop, so everything that
// enters the host from the main loop goes through `run`, which holds it while another
// operation is in progress and dispatches it afterwards, one at a time, in arrival order.
class HostOperation {
 public:
  HostOperation();
  ~HostOperation();
  HostOperation(const HostOperation&) = delete;
  HostOperation& operator=(const HostOperation&) = delete;

  static bool inProgress();

  // Runs `task` as an operation of its own: at once when none is in progress and
  // nothing is waiting, otherwise from the main loop after everything that arrived
  // before it. Main thread only.
  static void run(std::function<void()> task);
};

}  // namespace tumbla
