#pragma once

#include <cstdint>
#include <memory>

#include "host/DeploymentSettings.h"
#include "host/RemoteConfiguration.h"
#include "platform/Button.h"
#include "platform/Subscription.h"
#include "platform/View.h"

namespace tumbla {

// The controller's promotions: the promotion button over the game, shown when the
// configuration page says so and leading where it says (or to the fixed promotion page),
// and the upgrade offer on activations 2, 5, 8 and so on.
class Promotions {
 public:
  explicit Promotions(const DeploymentSettings& settings);

  // Asks the configuration page and adds the button to `root` when it answers 1.
  void addPromotionButton(View& root, bool isPad);
  // The button's action.
  void adsenseGo();
  // After the activation counter was raised.
  void offerUpgradeIfDue(std::int32_t activationCounter);
  void upgradeAnswered(int buttonIndex);

  const std::shared_ptr<Button>& promotionButton() const { return button_; }

 private:
  RemoteConfiguration configuration_;
  std::string promotionURL_;
  std::string upgradeURL_;
  std::shared_ptr<Button> button_;
  Subscription upgradeAlert_;
};

}  // namespace tumbla
