#pragma once

#include <functional>
#include <memory>

#include "platform/BackgroundThread.h"
#include "value/Date.h"

namespace tumbla {

// A scheduled timer. Its owner keeps the handle and invalidates it (or drops it) when it
// no longer wants the callback; after that the callback never runs again.
class Timer {
 public:
  void invalidate() { valid_ = false; }
  bool isValid() const { return valid_; }

 private:
  bool valid_ = true;
};

// The main thread's run loop: timers, hand-off to the main thread, background work.
class RunLoop {
 public:
  virtual ~RunLoop() = default;

  virtual Date now() const = 0;
  // True on the thread that runs the loop.
  virtual bool isMainThread() const = 0;

  // Fires `callback` on the main thread after `seconds`, and again every `seconds` when
  // `repeats`, until the returned timer is invalidated or released.
  std::shared_ptr<Timer> scheduleTimer(double seconds, bool repeats,
                                       std::function<void()> callback);

  // Runs `task` on the main thread. With `waitUntilDone` the caller blocks until it has
  // run; called on the main thread itself, the task then runs at once.
  virtual void postToMain(std::function<void()> task, bool waitUntilDone) = 0;

  // Runs `body` on a fresh background thread, owned by the answer.
  [[nodiscard]] virtual BackgroundThread startBackground(std::function<void()> body) = 0;

 protected:
  // Calls `fire` after `seconds`, and then every `seconds` when `repeats` for as long as
  // `fire` answers true.
  virtual void scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) = 0;
};

}  // namespace tumbla
