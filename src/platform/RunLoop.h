#pragma once

#include <functional>
#include <memory>

#include "platform/BackgroundThread.h"
#include "platform/Subscription.h"
#include "value/Date.h"

namespace tumbla {

// A scheduled timer, and its owner: invalidating it, or releasing the last reference to
// it, takes it off the run loop, and its callback never runs again.
class Timer {
 public:
  void invalidate() {
    valid_ = false;
    scheduled_.cancel();
  }
  bool isValid() const { return valid_; }

 private:
  friend class RunLoop;
  bool valid_ = true;
  Subscription scheduled_;
};

// The main thread's run loop: timers, hand-off to the main thread, background work.
class RunLoop {
 public:
  virtual ~RunLoop() = default;

  // The wall clock: what dates are stored as. It can jump (a clock set by hand or by the
  // network), so durations are measured with `uptime`.
  virtual Date now() const = 0;
  // Seconds on a clock that only moves forward, from an arbitrary start: for how long
  // something took (a fade, a pause between reloads), which a change of the wall clock
  // must not disturb.
  virtual double uptime() const = 0;
  // True on the thread that runs the loop.
  virtual bool isMainThread() const = 0;

  // Fires `callback` on the main thread after `seconds`, and again every `seconds` when
  // `repeats`, until the returned timer is invalidated or released.
  std::shared_ptr<Timer> scheduleTimer(double seconds, bool repeats,
                                       std::function<void()> callback);

  // Runs `task` on the main thread from the loop, never before this call returns. Safe
  // from any thread while the loop exists; tasks not run when it goes are dropped.
  virtual void postToMain(std::function<void()> task) = 0;

  // Runs `body` on a fresh background thread, owned by the answer.
  [[nodiscard]] virtual BackgroundThread startBackground(std::function<void()> body) = 0;

 protected:
  // Calls `fire` after `seconds`, and then every `seconds` when `repeats` for as long as
  // `fire` answers true, until the answered subscription ends.
  virtual Subscription scheduleTimerImpl(double seconds, bool repeats,
                                         std::function<bool()> fire) = 0;
};

}  // namespace tumbla
