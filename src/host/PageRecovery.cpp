#include "host/PageRecovery.h"

#include <string>

#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

void PageRecovery::webProcessEnded() {
  RunLoop& loop = Platform::shared().runLoop();
  // One ending at a time: the reload already scheduled brings the page back.
  if (pendingReload_) return;
  if (reloadsInARow_ > 0 && lastReload_ && loop.uptime() - *lastReload_ >= kSettledSeconds) {
    reloadsInARow_ = 0;
  }
  if (reloadsInARow_ >= kReloadsInARow) {
    logLine("the page hung or crashed again after " + std::to_string(kReloadsInARow) +
            " reloads in a row; it is not reloaded any more");
    return;
  }
  ++reloadsInARow_;
  int pauseSeconds = static_cast<int>(kFirstPauseSeconds) << (reloadsInARow_ - 1);
  logLine("reloading the page in " + std::to_string(pauseSeconds) + " s");
  pendingReload_ = loop.scheduleTimer(pauseSeconds, false, [this] {
    pendingReload_.reset();
    lastReload_ = Platform::shared().runLoop().uptime();
    reload_();
  });
}

}  // namespace tumbla
