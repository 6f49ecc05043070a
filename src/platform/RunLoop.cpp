#include "platform/RunLoop.h"

#include <algorithm>

namespace tumbla {

std::shared_ptr<Timer> RunLoop::scheduleTimer(double seconds, bool repeats,
                                              std::function<void()> callback) {
  auto timer = std::make_shared<Timer>();
  // A repeating timer of zero interval would spin the loop; a millisecond is the floor.
  double interval = std::max(seconds, repeats ? 0.001 : 0.0);
  // The loop holds the timer weakly: its owner's reference is what keeps it scheduled.
  std::weak_ptr<Timer> weakTimer = timer;
  timer->scheduled_ =
      scheduleTimerImpl(interval, repeats, [weakTimer, callback = std::move(callback), repeats] {
        auto strong = weakTimer.lock();
        if (!strong || !strong->isValid()) return false;
        if (!repeats) strong->invalidate();
        callback();
        return strong->isValid();
      });
  return timer;
}

}  // namespace tumbla
