#pragma once

#include <thread>

#include "platform/RunLoop.h"

namespace tumbla {

// The run loop on GLib's default main context. Timers and hand-offs reach the host
// through HostOperation, so they never fire in the middle of a script evaluation.
class GLibRunLoop : public RunLoop {
 public:
  // The calling thread becomes the main thread.
  GLibRunLoop();

  Date now() const override;
  bool isMainThread() const override { return std::this_thread::get_id() == mainThread_; }
  void postToMain(std::function<void()> task, bool waitUntilDone) override;
  BackgroundThread startBackground(std::function<void()> body) override;

  // Runs `task` on the main thread from the default main context, as a host operation of
  // its own, and returns at once. Safe from any thread, and without a run loop object, so
  // that work which may outlive the platform can still hand back.
  static void post(std::function<void()> task);

 protected:
  void scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) override;

 private:
  std::thread::id mainThread_;
};

}  // namespace tumbla
