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
  void postToMain(std::function<void()> task, bool waitUntilDone) override;
  BackgroundThread startBackground(std::function<void()> body) override;

 protected:
  void scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) override;

 private:
  std::thread::id mainThread_;
};

}  // namespace tumbla
