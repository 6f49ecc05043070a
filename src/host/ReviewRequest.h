#pragma once

#include <cstdint>
#include <memory>

#include "host/DeploymentSettings.h"
#include "host/RemoteConfiguration.h"
#include "platform/RunLoop.h"
#include "platform/Subscription.h"

namespace tumbla {

// The host's own request for a review. At launch, unless the player already chose to
// give one (the review flag in "review31.plist"), the configuration page's review switch
// decides; when it is 1 the request comes 700 seconds later, worded by the wording
// switch. "Give a review" records the flag for good and opens the store's review page.
// The switches are awaited without blocking: the request is scheduled when the review
// switch's answer arrives, and shown when the wording switch's answer arrives.
class ReviewRequest {
 public:
  static constexpr double kDelaySeconds = 700;

  explicit ReviewRequest(const DeploymentSettings& settings);

  // The last steps of the launch.
  void startAtLaunch();
  // The timer's action: asks the wording switch and shows the request once it answered.
  void alertforreview();
  void alertDismissed(int buttonIndex);

  std::int32_t reallyReview() const { return reallyReview_; }
  std::int32_t intKaiguan() const { return intKaiguan_; }
  std::int32_t intKaiguan2() const { return intKaiguan2_; }

 private:
  std::string reviewPageURL() const;

  RemoteConfiguration configuration_;
  std::string reviewSwitchCode_;
  std::string wordingSwitchCode_;
  std::string storeHost_;
  std::uint32_t reviewStoreID_;
  std::int32_t reallyReview_ = 0;
  std::int32_t intKaiguan_ = 0;
  std::int32_t intKaiguan2_ = 0;
  Subscription reviewSwitchQuestion_;
  Subscription wordingSwitchQuestion_;
  std::shared_ptr<Timer> timer_;
  Subscription alert_;
};

}  // namespace tumbla
