#pragma once

#include <memory>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// The run loop on GLib's default main context. Timers and hand-offs reach the host
// through the dispatcher, so they never fire in the middle of a script evaluation.
// Destroying the loop takes its timers and the hand-offs not yet run off the main
// context: none of them runs afterwards.
class GLibRunLoop : public RunLoop {
 public:
  // The calling thread becomes the main thread.
  explicit GLibRunLoop(HostDispatcher& dispatcher);
  ~GLibRunLoop() override;
  GLibRunLoop(const GLibRunLoop&) = delete;
  GLibRunLoop& operator=(const GLibRunLoop&) = delete;

  Date now() const override;
  double uptime() const override;
  bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }
  void postToMain(std::function<void()> task) override;
  BackgroundThread startBackground(std::function<void()> body) override;

 protected:
  Subscription scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) override;

 private:
  struct TimerSource;
  struct Mailbox;

  HostDispatcher& dispatcher_;
  std::thread::id mainThread_;
  std::unique_ptr<Mailbox> mailbox_;
  // The timers scheduled, to take the running ones off the context with the loop.
  std::vector<std::weak_ptr<TimerSource>> timers_;
};

}  // namespace tumbla
