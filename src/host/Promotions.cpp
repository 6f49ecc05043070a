#include "host/Promotions.h"

#include "host/PagePlacement.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

constexpr int kBuyNowIndex = 1;

void openOutside(const std::string& address, std::string_view what) {
  std::optional<Url> url = address.empty() ? std::nullopt : Url::parse(address);
  if (!url || !Platform::shared().application().openURL(*url)) {
    logLine("can't open " + std::string(what) + " \"" + address + "\"");
  }
}

}  // namespace

Promotions::Promotions(const DeploymentSettings& settings)
    : configuration_(settings.configURL),
      promotionURL_(settings.promotionURL),
      upgradeURL_(settings.upgradeURL) {}

void Promotions::addPromotionButton(View& root, bool isPad, Size page) {
  buttonQuestion_ =
      configuration_.askSwitch("adsenseOrNot", [this, &root, isPad, page](std::int32_t on) {
        if (on != 1) return;
        // Drawn for the device's landscape screen; on a page of another size at the same
        // distance from its nearer edge.
        Rect frame = isPad ? placeOnPage({626, 6, 31, 31}, {1024, 768}, page)
                           : placeOnPage({139, 0, 20, 20}, {480, 320}, page);
        UserInterface& ui = Platform::shared().userInterface();
        button_ = ui.makeButton(frame, ui.imageNamed(kButtonImage), "Promotion");
        button_->setAction([this] { adsenseGo(); });
        root.addSubview(button_);
      });
}

void Promotions::adsenseGo() {
  addressQuestion_ = configuration_.ask("adsenseWeb", [this](std::optional<std::string> answer) {
    followPromotion(std::move(answer));
  });
}

void Promotions::followPromotion(std::optional<std::string> answer) {
  if (!answer) {
    openOutside(promotionURL_, "the promotion page");
    return;
  }
  // A page that ends its answer with a line break still names its address.
  std::size_t first = answer->find_first_not_of(" \t\r\n");
  std::size_t last = answer->find_last_not_of(" \t\r\n");
  std::string address = first == std::string::npos ? "" : answer->substr(first, last - first + 1);
  // An address from the web leaves the game only when it is a web address.
  if (!isWebAddress(address)) {
    logLine("the promotion address is not a web address; nothing opens");
    return;
  }
  openOutside(address, "the promotion page");
}

void Promotions::offerUpgradeIfDue(std::int32_t activationCounter) {
  // Without a store page there is nothing to sell.
  if (upgradeURL_.empty()) return;
  if ((static_cast<std::int64_t>(activationCounter) - 2) % 3 != 0) return;
  UserInterface& ui = Platform::shared().userInterface();
  Alert offer{"Upgrade to get more awesome features!",
              "*No level limit - play as far as your skills will get you!\n*More blocks, No Ads "
              "and quality speed with smoother experience!\n*Enter and save your high scores!",
              {"No,Thanks", "Buy Now"},
              0};
  // The offer stands out on a patterned card; a bundle without the pattern shows it plain.
  if (std::optional<Image> pattern = ui.imageNamed(kUpgradeBackground)) {
    offer.backdrop = AlertBackdrop{*pattern, kUpgradeCornerRadius, kUpgradeBackdropInset};
  }
  upgradeAlert_ =
      ui.showAlert(std::move(offer), [this](int buttonIndex) { upgradeAnswered(buttonIndex); });
}

void Promotions::upgradeAnswered(int buttonIndex) {
  if (buttonIndex == kBuyNowIndex) openOutside(upgradeURL_, "the upgrade's store page");
}

}  // namespace tumbla
