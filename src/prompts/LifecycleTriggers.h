#pragma once

#include <functional>

#include "platform/Subscription.h"

namespace tumbla {

// What starts a prompt component: the platform's launch notification and each return to
// the foreground. The callbacks stop when this goes.
class LifecycleTriggers {
 public:
  LifecycleTriggers(std::function<void()> launched, std::function<void()> enteredForeground);

 private:
  Subscription launched_;
  Subscription enteredForeground_;
};

}  // namespace tumbla
