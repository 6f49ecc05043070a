#pragma once

#include <optional>

#include "platform/Url.h"
#include "value/Date.h"

namespace tumbla {

// Where the links the page follows leave the game for the desktop's browser. What the
// player clicks always opens; a page that opens links on its own (a loop, a timer) gets
// one a second, so that it can't flood the desktop with browser windows.
class OutsideLinkGate {
 public:
  // Seconds between two links the page opens without the player's gesture.
  static constexpr double kUnpromptedOpeningGap = 1.0;

  void open(const Url& url, bool userGesture);

 private:
  std::optional<Date> lastUnpromptedOpening_;
};

}  // namespace tumbla
