#pragma once

#include "platform/Error.h"

namespace tumbla {

// What the rating prompt asks and tells its delegate. Every operation is optional: a
// delegate announces the ones it has through `respondsTo`, and one it lacks counts as
// answering true.
class iRateDelegate {
 public:
  enum class Optional { ShouldPromptForRating, CouldNotConnectToAppStore };

  virtual ~iRateDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  // Just before the alert would show; false shows nothing and records nothing.
  virtual bool iRateShouldShouldPromptForRating() { return true; }
  // The reachability probe failed.
  virtual void iRateCouldNotConnectToAppStore(const Error& /*error*/) {}
};

}  // namespace tumbla
