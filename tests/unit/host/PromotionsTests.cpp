#include <gtest/gtest.h>

#include "HostFixture.h"
#include "host/RemoteConfiguration.h"

namespace tumbla {
namespace {

constexpr const char* kPage = "http://config.test/pj.php";

class PromotionsTest : public testing::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    SimBundle& bundle = platform->simBundle();
    bundle.setInfo("TumblaConfigURL", kPage);
    bundle.setInfo("TumblaConfigAppCode1", "tumbla1");
    bundle.setInfo("TumblaConfigAppCode2", "tumbla2");
    bundle.setInfo("TumblaReviewStoreID", Value::integer(777));
    bundle.setInfo("TumblaPromotionURL", "https://promo.test/");
    bundle.setInfo("TumblaUpgradeURL", "https://store.test/upgrade");
    platform->userInterface().addImage("medical.png", {20, 20});
  }
  void answer(const std::string& app, std::string text, double delay = 0) {
    platform->urlLoader().setAnswer(std::string(kPage) + "?app=" + app,
                                    {200, std::move(text), {}, delay});
  }
  std::size_t asked(const std::string& app) {
    return platform->urlLoader().requestCount(std::string(kPage) + "?app=" + app);
  }
  std::vector<Alert> alerts() { return platform->userInterface().visibleAlerts(); }
  std::vector<std::string> openedURLs() {
    std::vector<std::string> urls;
    for (const Url& url : platform->application().openedURLs())
      urls.push_back(url.absoluteString());
    return urls;
  }
};

TEST_F(PromotionsTest, TheReviewRequestComes700SecondsAfterALaunchTheSwitchAllows) {
  answer("tumbla1", "1");
  answer("tumbla2", "1\n");
  launchAndLoad();
  EXPECT_EQ(asked("tumbla1"), 1u);
  platform->runLoop().advance(699);
  EXPECT_EQ(asked("tumbla2"), 0u);
  platform->runLoop().advance(1);
  EXPECT_EQ(asked("tumbla2"), 1u);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].title.find("a high star rating"), std::string::npos);
  EXPECT_EQ(alerts()[0].buttons, (std::vector<std::string>{"I don't want", "Give a review"}));

  platform->userInterface().answerAlert(1);
  EXPECT_EQ(readDocument("review31.plist"), "1");
  EXPECT_EQ(openedURLs(),
            std::vector<std::string>{"itms-apps://itunes.apple.com/WebObjects/MZStore.woa/wa/"
                                     "viewContentsUserReviews?type=Purple+Software&id=777"});

  // With the flag recorded the switch is never asked again.
  install(platform->storedPreferences());
  writeDocument("review31.plist", "1");
  platform->simBundle().setInfo("TumblaConfigURL", kPage);
  answer("tumbla1", "1");
  launchAndLoad();
  EXPECT_EQ(asked("tumbla1"), 0u);
}

TEST_F(PromotionsTest, OtherAnswersGiveNoRequestOrThePlainWording) {
  answer("tumbla1", "2");
  launchAndLoad();
  platform->runLoop().advance(800);
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(asked("tumbla2"), 0u);

  delegate->reviewRequest()->alertforreview();  // the wording page is dead
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].title.find("give us a star rating"), std::string::npos);
  platform->userInterface().answerAlert(0);
  EXPECT_FALSE(readDocument("review31.plist"));
  EXPECT_TRUE(openedURLs().empty());
}

TEST_F(PromotionsTest, APageSlowerThanTheLimitCountsAsNoAnswer) {
  answer("tumbla1", "1", RemoteConfiguration::kTimeoutSeconds + 1);
  launchAndLoad();
  EXPECT_EQ(asked("tumbla1"), 1u);
  EXPECT_EQ(delegate->reviewRequest()->intKaiguan(), 0);
}

TEST_F(PromotionsTest, ThePromotionButtonShowsWhenThePageSaysAndLeadsWhereItSays) {
  answer("adsenseOrNot", "1");
  launchAndLoad();
  const std::shared_ptr<Button>& button = controller().promotions().promotionButton();
  ASSERT_TRUE(button);
  EXPECT_EQ(button->accessibleName(), "Promotion");
  EXPECT_EQ(button->frame(), (Rect{139, 0, 20, 20}));
  EXPECT_TRUE(button->background());
  EXPECT_EQ(controller().view()->subviews().back(), button);

  button->sendAction();  // no answer: the fixed page
  answer("adsenseWeb", " https://ads.test/x?y=1\n");
  button->sendAction();
  answer("adsenseWeb", "javascript:alert(1)");
  button->sendAction();
  EXPECT_EQ(openedURLs(),
            (std::vector<std::string>{"https://promo.test/", "https://ads.test/x?y=1"}));
}

TEST_F(PromotionsTest, NoButtonForAnyOtherAnswer) {
  for (const char* text : {"0", "yes", ""}) {
    install();
    platform->simBundle().setInfo("TumblaConfigURL", kPage);
    answer("adsenseOrNot", text);
    launchAndLoad();
    EXPECT_FALSE(controller().promotions().promotionButton()) << text;
    EXPECT_TRUE(platform->userInterface().buttons().empty());
  }
}

TEST_F(PromotionsTest, TheUpgradeOfferComesOnActivationsTwoFiveAndEight) {
  launchAndLoad();
  std::vector<int> offeredAt;
  for (int activation = 2; activation <= 8; ++activation) {
    platform->application().send(LifecycleEvent::DidBecomeActive);
    ASSERT_EQ(controller().intValue(), activation);
    if (!alerts().empty()) {
      offeredAt.push_back(activation);
      EXPECT_EQ(alerts()[0].title, "Upgrade to get more awesome features!");
      EXPECT_EQ(alerts()[0].buttons, (std::vector<std::string>{"No,Thanks", "Buy Now"}));
      platform->userInterface().answerAlert(activation == 8 ? 1 : 0);
    }
  }
  EXPECT_EQ(offeredAt, (std::vector<int>{2, 5, 8}));
  EXPECT_EQ(openedURLs(), std::vector<std::string>{"https://store.test/upgrade"});
}

}  // namespace
}  // namespace tumbla
