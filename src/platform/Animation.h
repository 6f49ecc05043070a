#pragma once

#include <memory>

#include "platform/RunLoop.h"
#include "platform/View.h"

namespace tumbla {

enum class AnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

struct AnimationTiming {
  double delay = 0;
  double duration = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
};

// Moves `view` from its current frame to `target` on the run loop, sixty steps a second.
// The animation runs while the returned timer is kept and valid.
std::shared_ptr<Timer> animateFrame(RunLoop& runLoop, const std::shared_ptr<View>& view,
                                    Rect target, AnimationTiming timing);

// Fades `view` from its current alpha to `target` on the run loop, sixty steps a second.
// The animation runs while the returned timer is kept and valid.
std::shared_ptr<Timer> animateAlpha(RunLoop& runLoop, const std::shared_ptr<View>& view,
                                    double target, AnimationTiming timing);

}  // namespace tumbla
