#include "host/OutsideLinkGate.h"

#include "host/BridgeTrace.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

void OutsideLinkGate::open(const Url& url, bool userGesture) {
  if (!userGesture) {
    Date now = Platform::shared().runLoop().now();
    double gap = lastUnpromptedOpening_ ? now.secondsSince(*lastUnpromptedOpening_) : -1;
    if (gap >= 0 && gap < kUnpromptedOpeningGap) {
      logLine("dropped an opening of " + url.absoluteString() +
              " outside the game: the page opens links faster than one a second on its own");
      return;
    }
    lastUnpromptedOpening_ = now;
  }
  bool handedOver = Platform::shared().application().openURL(url);
  BridgeTrace::openedOutside(url, handedOver);
}

}  // namespace tumbla
