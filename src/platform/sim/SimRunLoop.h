#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "platform/RunLoop.h"

namespace tumbla {

// A run loop on a virtual clock: nothing happens until the test advances time or runs
// the posted tasks, and timers due at the same moment fire in the order they were made.
class SimRunLoop : public RunLoop {
 public:
  Date now() const override { return now_; }
  // Background work runs on the test's thread too.
  bool isMainThread() const override { return true; }
  void postToMain(std::function<void()> task, bool waitUntilDone) override;
  BackgroundThread startBackground(std::function<void()> body) override;

  // Moves the clock forward, firing every timer that falls due on the way, in time order,
  // and running posted tasks after each.
  void advance(double seconds);
  // Moves the clock forward as a busy main thread would: no timer fires on the way, and
  // those that fell due fire late, at the next advance.
  void stall(double seconds) { now_ = now_.addingSeconds(seconds); }
  // Runs posted tasks (and those they post) until none is left.
  void runPendingTasks();
  std::size_t activeTimerCount() const { return timers_.size(); }

 protected:
  void scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) override;

 private:
  struct PendingTimer {
    Date due;
    double interval;
    bool repeats;
    unsigned long order;
    std::function<bool()> fire;
  };

  Date now_{1'700'000'000.0};
  std::vector<PendingTimer> timers_;
  std::deque<std::function<void()>> tasks_;
  unsigned long nextOrder_ = 0;
};

}  // namespace tumbla
