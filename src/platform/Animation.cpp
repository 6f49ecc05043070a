#include "platform/Animation.h"

namespace tumbla {

namespace {

double applyCurve(AnimationCurve curve, double t) {
  switch (curve) {
    case AnimationCurve::EaseInOut:
      return t < 0.5 ? 2 * t * t : 1 - 2 * (1 - t) * (1 - t);
    case AnimationCurve::EaseIn:
      return t * t;
    case AnimationCurve::EaseOut:
      return 1 - (1 - t) * (1 - t);
    case AnimationCurve::Linear:
      return t;
  }
  return t;
}

}  // namespace

std::shared_ptr<Timer> animateAlpha(RunLoop& runLoop, const std::shared_ptr<View>& view,
                                    double target, AnimationTiming timing) {
  constexpr double step = 1.0 / 60.0;
  Date start = runLoop.now().addingSeconds(timing.delay);
  double from = view->alpha();
  std::weak_ptr<View> weakView = view;
  // The tick stops its own timer when done, so it reaches the timer through this cell.
  auto self = std::make_shared<std::weak_ptr<Timer>>();
  auto tick = [&runLoop, weakView, start, from, target, timing, self] {
    double elapsed = runLoop.now().secondsSince(start);
    auto strongView = weakView.lock();
    if (strongView && elapsed < 0) return;
    double progress = timing.duration <= 0 ? 1.0 : elapsed / timing.duration;
    if (strongView && progress < 1.0) {
      strongView->setAlpha(from + (target - from) * applyCurve(timing.curve, progress));
      return;
    }
    if (strongView) strongView->setAlpha(target);
    if (auto timer = self->lock()) timer->invalidate();
  };
  auto timer = runLoop.scheduleTimer(step, true, std::move(tick));
  *self = timer;
  return timer;
}

}  // namespace tumbla
