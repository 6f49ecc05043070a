#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/RunLoop.h"

namespace tumbla {

// A run loop on a virtual clock: nothing happens until the test advances time or runs
// the posted tasks, and timers due at the same moment fire in the order they were made.
class SimRunLoop : public RunLoop {
 public:
  Date now() const override { return now_.addingSeconds(wallClockOffset_); }
  double uptime() const override { return now_.secondsSince1970; }
  // Sets the wall clock forward or back, as a player or the network may; time itself, and
  // so the timers and `uptime`, go on undisturbed.
  void stepWallClock(double seconds) { wallClockOffset_ += seconds; }
  // Background work runs on the test's thread too.
  bool isMainThread() const override { return true; }
  void postToMain(std::function<void()> task) override;
  BackgroundThread startBackground(std::function<void()> body) override;

  // Moves the clock forward, firing every timer that falls due on the way, in time order,
  // and running posted tasks after each.
  void advance(double seconds);
  // Moves the clock forward as a busy main thread would: no timer fires on the way, and
  // those that fell due fire late, at the next advance.
  void stall(double seconds) { now_ = now_.addingSeconds(seconds); }
  // Runs posted tasks (and those they post) until none is left.
  void runPendingTasks();
  std::size_t activeTimerCount() const { return timers_->size(); }

 protected:
  Subscription scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) override;

 private:
  struct PendingTimer {
    Date due;
    double interval;
    bool repeats;
    unsigned long order;
    unsigned long id;
    std::function<bool()> fire;
  };

  // Virtual time, which only moves forward; the wall clock is it plus the offset.
  Date now_{1'700'000'000.0};
  double wallClockOffset_ = 0;
  std::shared_ptr<std::vector<PendingTimer>> timers_ =
      std::make_shared<std::vector<PendingTimer>>();
  std::deque<std::function<void()>> tasks_;
  unsigned long nextOrder_ = 0;
  unsigned long nextId_ = 0;
};

}  // namespace tumbla
