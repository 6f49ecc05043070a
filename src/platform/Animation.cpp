#include "platform/Animation.h"

#include <functional>

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

// Runs `apply` with the eased progress (0 to 1) sixty times a second until the timing
// has run out or the view has gone; the last call is always with 1.
std::shared_ptr<Timer> animate(RunLoop& runLoop, const std::weak_ptr<View>& weakView,
                               AnimationTiming timing,
                               std::function<void(View&, double progress)> apply) {
  constexpr double step = 1.0 / 60.0;
  Date start = runLoop.now().addingSeconds(timing.delay);
  // The tick stops its own timer when done, so it reaches the timer through this cell.
  auto self = std::make_shared<std::weak_ptr<Timer>>();
  auto tick = [&runLoop, weakView, start, timing, self, apply = std::move(apply)] {
    double elapsed = runLoop.now().secondsSince(start);
    auto strongView = weakView.lock();
    if (strongView && elapsed < 0) return;
    double progress = timing.duration <= 0 ? 1.0 : elapsed / timing.duration;
    if (strongView && progress < 1.0) {
      apply(*strongView, applyCurve(timing.curve, progress));
      return;
    }
    if (strongView) apply(*strongView, 1.0);
    if (auto timer = self->lock()) timer->invalidate();
  };
  auto timer = runLoop.scheduleTimer(step, true, std::move(tick));
  *self = timer;
  return timer;
}

}  // namespace

std::shared_ptr<Timer> animateAlpha(RunLoop& runLoop, const std::shared_ptr<View>& view,
                                    double target, AnimationTiming timing) {
  double from = view->alpha();
  return animate(runLoop, view, timing, [from, target](View& shown, double progress) {
    shown.setAlpha(from + (target - from) * progress);
  });
}

std::shared_ptr<Timer> animateFrame(RunLoop& runLoop, const std::shared_ptr<View>& view,
                                    Rect target, AnimationTiming timing) {
  Rect from = view->frame();
  return animate(runLoop, view, timing, [from, target](View& shown, double progress) {
    auto between = [progress](double a, double b) { return a + (b - a) * progress; };
    shown.setFrame({between(from.x, target.x), between(from.y, target.y),
                    between(from.width, target.width), between(from.height, target.height)});
  });
}

}  // namespace tumbla
