#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "platform/RunLoop.h"
#include "value/Date.h"

namespace tumbla {

// Brings the game page back after its web process ended (a crash, or a script that never
// answered). A page that keeps hanging or crashing is reloaded after longer and longer
// pauses, and after a few reloads in a row it is left as it is: reloading it forever would
// only repeat its start-up and its commands. A page that ran for a while since its last
// reload had settled, and its trouble starts the count afresh. Runs on the run loop's clock.
class PageRecovery {
 public:
  static constexpr int kReloadsInARow = 3;
  static constexpr double kFirstPauseSeconds = 1;
  static constexpr double kSettledSeconds = 60;

  // `reload` brings the page back; it is called from the run loop, never from inside
  // `webProcessEnded`.
  explicit PageRecovery(std::function<void()> reload) : reload_(std::move(reload)) {}

  // The page's web process ended: schedules its reload, or gives up (once said in the log).
  void webProcessEnded();

 private:
  std::function<void()> reload_;
  int reloadsInARow_ = 0;
  // On the run loop's uptime.
  std::optional<double> lastReload_;
  // The scheduled reload; dropping it (with this object) cancels it.
  std::shared_ptr<Timer> pendingReload_;
};

}  // namespace tumbla
