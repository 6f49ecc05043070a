#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/DeploymentSettings.h"
#include "host/RemoteConfiguration.h"
#include "platform/Button.h"
#include "platform/Subscription.h"
#include "platform/View.h"

namespace tumbla {

// The controller's promotions: the promotion button over the game, shown when the
// configuration page says so and leading where it says (or to the fixed promotion page),
// and the upgrade offer on activations 2, 5, 8 and so on. The page's answers are awaited
// without blocking: the button appears, and its page opens, when the answer arrives.
class Promotions {
 public:
  static constexpr std::string_view kButtonImage = "medical.png";
  // The upgrade offer's background: the pattern on a card with rounded corners, a little
  // smaller than the alert.
  static constexpr std::string_view kUpgradeBackground = "alertbackground.png";
  static constexpr double kUpgradeCornerRadius = 12;
  static constexpr Size kUpgradeBackdropInset{30, 20};

  explicit Promotions(const DeploymentSettings& settings);

  // Asks the configuration page and adds the button to `root`, which shows a page of the
  // size `page`, once it answers 1. `root` outlives this object (the controller owns both).
  void addPromotionButton(View& root, bool isPad, Size page);
  // The button's action: asks the page where to lead, and opens that once it answered.
  void adsenseGo();
  // After the activation counter was raised.
  void offerUpgradeIfDue(std::int32_t activationCounter);
  void upgradeAnswered(int buttonIndex);

  const std::shared_ptr<Button>& promotionButton() const { return button_; }

 private:
  void followPromotion(std::optional<std::string> answer);

  RemoteConfiguration configuration_;
  std::string promotionURL_;
  std::string upgradeURL_;
  std::shared_ptr<Button> button_;
  Subscription upgradeAlert_;
  Subscription buttonQuestion_;
  // A touch while the previous touch's question is still open replaces it.
  Subscription addressQuestion_;
};

}  // namespace tumbla
