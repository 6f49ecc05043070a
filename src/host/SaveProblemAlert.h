#pragma once

#include <string>

#include "platform/Subscription.h"

namespace tumbla {

// "Progress can't be saved": every file the game keeps its progress in that can't be
// written is logged with its reason, and the player is told the first time in a run.
class SaveProblemAlert {
 public:
  void report(const std::string& reason);

 private:
  bool playerTold_ = false;
  Subscription alert_;
};

}  // namespace tumbla
