#include <gtest/gtest.h>

#include "HostFixture.h"
#include "platform/Log.h"
#include "prompts/iNotify.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

constexpr const char* kPage = "http://config.test/pj.php";

class PromotionsTest : public testing::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    configureBundle();
  }
  // A fresh platform (the stored preferences kept) with the bundle configured again.
  void reinstall(bool withUpgradePattern = true) {
    install(platform->storedPreferences());
    configureBundle(withUpgradePattern);
  }
  void configureBundle(bool withUpgradePattern = true) {
    SimBundle& bundle = platform->simBundle();
    bundle.setInfo("TumblaConfigURL", kPage);
    bundle.setInfo("TumblaConfigAppCode1", "tumbla1");
    bundle.setInfo("TumblaConfigAppCode2", "tumbla2");
    bundle.setInfo("TumblaReviewStoreID", Value::integer(777));
    bundle.setInfo("TumblaPromotionURL", "https://promo.test/");
    bundle.setInfo("TumblaUpgradeURL", "https://store.test/upgrade");
    platform->userInterface().addImage("medical.png", {20, 20});
    if (withUpgradePattern) platform->userInterface().addImage("alertbackground.png", {24, 24});
  }
  void answer(const std::string& app, std::string text, double delay = 0, long status = 200) {
    platform->urlLoader().setAnswer(std::string(kPage) + "?app=" + app,
                                    {status, std::move(text), {}, delay});
  }
  std::size_t asked(const std::string& app) {
    return platform->urlLoader().requestCount(std::string(kPage) + "?app=" + app);
  }
  // Lets the answers that are already due arrive.
  void answersArrive() { platform->runLoop().advance(0); }
  std::vector<Alert> alerts() { return platform->userInterface().visibleAlerts(); }
  std::vector<std::string> openedURLs() {
    std::vector<std::string> urls;
    for (const Url& url : platform->application().openedURLs())
      urls.push_back(url.absoluteString());
    return urls;
  }
  void TearDown() override {
    setLogSink(previousSink_);
    HostFixture::TearDown();
  }

  std::vector<std::string> logged;

 private:
  LogSink previousSink_ = setLogSink([this](std::string_view line) { logged.emplace_back(line); });
};

TEST_F(PromotionsTest, TheReviewRequestComes700SecondsAfterALaunchTheSwitchAllows) {
  answer("tumbla1", "1", 3);
  answer("tumbla2", "1\n", 2);
  const Date launched = platform->runLoop().now();
  launchAndLoad();
  // The launch asked both launch questions and waited for neither: both are still on
  // their way when it is over.
  EXPECT_EQ(platform->runLoop().now(), launched);
  EXPECT_EQ(asked("tumbla1"), 1u);
  EXPECT_EQ(asked("adsenseOrNot"), 1u);
  EXPECT_EQ(platform->urlLoader().activeConnectionCount(), 2u);
  platform->runLoop().advance(3);
  EXPECT_EQ(delegate->reviewRequest()->intKaiguan(), 1);
  platform->runLoop().advance(696);  // 699 s after the launch, not after the answer
  EXPECT_EQ(asked("tumbla2"), 0u);
  platform->runLoop().advance(1);
  EXPECT_EQ(asked("tumbla2"), 1u);
  EXPECT_TRUE(alerts().empty());  // shown when the wording arrives
  platform->runLoop().advance(2);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].title.find("a high star rating"), std::string::npos);
  EXPECT_EQ(alerts()[0].buttons, (std::vector<std::string>{"I don't want", "Give a review"}));

  platform->userInterface().answerAlert(1);
  EXPECT_EQ(readDocument("review31.plist"), "1");
  EXPECT_EQ(openedURLs(),
            std::vector<std::string>{"https://itunes.apple.com/WebObjects/MZStore.woa/wa/"
                                     "viewContentsUserReviews?type=Purple+Software&id=777"});

  // With the flag recorded the review switch is never asked again: the only question
  // of the next launch is the promotion button's.
  reinstall();
  writeDocument("review31.plist", "1");
  answer("tumbla1", "1");
  launchAndLoad();
  platform->runLoop().advance(800);
  std::vector<std::string> questions;
  for (const UrlRequest& request : platform->urlLoader().requests()) {
    if (request.url.starts_with(kPage)) questions.push_back(request.url);
  }
  EXPECT_EQ(questions, std::vector<std::string>{std::string(kPage) + "?app=adsenseOrNot"});
  EXPECT_TRUE(alerts().empty());
}

TEST_F(PromotionsTest, OtherAnswersGiveNoRequestOrThePlainWording) {
  answer("tumbla1", "2");
  launchAndLoad();
  platform->runLoop().advance(800);
  EXPECT_TRUE(alerts().empty());
  EXPECT_EQ(asked("tumbla2"), 0u);

  delegate->reviewRequest()->alertforreview();  // the wording page is dead
  answersArrive();
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].title.find("give us a star rating"), std::string::npos);
  platform->userInterface().answerAlert(0);
  EXPECT_FALSE(readDocument("review31.plist"));
  EXPECT_TRUE(openedURLs().empty());
}

TEST_F(PromotionsTest, AnAnswerCountsOnlyWithinTheLimit) {
  // The limit is 4 s from the question: 3.9 s is in time and the request keeps to 700 s
  // after the launch; 4.1 s counts as no answer, as a dead page does.
  for (double delay : {3.9, 4.1}) {
    SCOPED_TRACE(delay);
    reinstall();
    answer("tumbla1", "1", delay);
    answer("tumbla2", "0");
    launchAndLoad();
    EXPECT_EQ(asked("tumbla1"), 1u);
    platform->runLoop().advance(700);
    EXPECT_EQ(delegate->reviewRequest()->intKaiguan(), delay < 4 ? 1 : 0);
    EXPECT_EQ(asked("tumbla2"), delay < 4 ? 1u : 0u);
  }
}

TEST_F(PromotionsTest, EveryFailedQuestionSaysItsAddressAndWhy) {
  const std::string address = std::string(kPage) + "?app=adsenseOrNot";
  const std::pair<SimUrlLoader::Answer, const char*> cases[] = {
      {{404, "1"}, "answered with status 404"},
      {{500, "1"}, "answered with status 500"},
      {{200, "1", {}, 0, "connection refused"}, "connection refused"},
      {{200, "\xff\xfe"}, "not UTF-8"},
  };
  for (const auto& [served, reason] : cases) {
    SCOPED_TRACE(reason);
    reinstall();
    platform->urlLoader().setAnswer(address, served);
    logged.clear();
    launchAndLoad();
    answersArrive();
    EXPECT_FALSE(controller().promotions().promotionButton());
    std::vector<std::string> lines;
    for (const std::string& line : logged) {
      if (line.find("adsenseOrNot") != std::string::npos) lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 1u) << ::testing::PrintToString(logged);
    EXPECT_NE(lines[0].find(address), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(reason), std::string::npos) << lines[0];
  }
}

TEST_F(PromotionsTest, ThePromotionButtonShowsWhenThePageSaysAndLeadsWhereItSays) {
  answer("adsenseOrNot", "1", 2);
  launchAndLoad();
  EXPECT_FALSE(controller().promotions().promotionButton());  // not before the answer
  platform->runLoop().advance(2);
  const std::shared_ptr<Button>& button = controller().promotions().promotionButton();
  ASSERT_TRUE(button);
  EXPECT_EQ(button->accessibleName(), "Promotion");
  EXPECT_EQ(button->frame(), (Rect{139, 0, 20, 20}));
  EXPECT_TRUE(button->background());
  EXPECT_EQ(controller().view()->subviews().back(), button);

  button->sendAction();  // no answer: the fixed page
  answersArrive();
  answer("adsenseWeb", " https://ads.test/x?y=1\n", 1);
  button->sendAction();
  EXPECT_EQ(openedURLs().size(), 1u);  // opened when the answer arrives
  platform->runLoop().advance(1);
  answer("adsenseWeb", "javascript:alert(1)");
  button->sendAction();
  answersArrive();
  EXPECT_EQ(openedURLs(),
            (std::vector<std::string>{"https://promo.test/", "https://ads.test/x?y=1"}));
}

TEST_F(PromotionsTest, OnlyAnAnswerThatReadsAsTheNumberOneIsOn) {
  // The answer's leading integer, read as the platform reads one: white space before
  // it is skipped and whatever follows the digits is ignored.
  const struct {
    const char* text;
    bool on;
  } cases[] = {
      {"1", true},   {" 1", true},   {"1\n", true}, {"+1", true},  {"01", true},
      {"1.9", true}, {"1abc", true}, {"10", false}, {"0", false},  {"-1", false},
      {"2", false},  {"yes", false}, {"", false},   {"x1", false}, {"4294967297", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(std::string(c.text)));
    reinstall();
    answer("adsenseOrNot", c.text);
    launchAndLoad();
    answersArrive();
    EXPECT_EQ(static_cast<bool>(controller().promotions().promotionButton()), c.on);
    bool shown = false;
    for (const auto& button : platform->userInterface().buttons()) {
      shown |= button->accessibleName() == "Promotion";
    }
    EXPECT_EQ(shown, c.on);
  }
}

TEST_F(PromotionsTest, TheUpgradeOfferComesOnActivationsTwoFiveAndEight) {
  launchAndLoad();
  std::vector<int> offeredAt;
  for (int activation = 2; activation <= 8; ++activation) {
    platform->application().send(LifecycleEvent::WillEnterForeground);
    platform->application().send(LifecycleEvent::DidBecomeActive);
    ASSERT_EQ(controller().intValue(), activation);
    if (!alerts().empty()) {
      offeredAt.push_back(activation);
      EXPECT_EQ(alerts()[0].title, "Upgrade to get more awesome features!");
      EXPECT_EQ(alerts()[0].buttons, (std::vector<std::string>{"No,Thanks", "Buy Now"}));
      // On a card of the bundle's pattern with rounded corners, inside the alert's edges.
      std::optional<AlertBackdrop> backdrop = alerts()[0].backdrop;
      ASSERT_TRUE(backdrop);
      EXPECT_EQ(backdrop->pattern.path, "alertbackground.png");
      EXPECT_EQ(backdrop->cornerRadius, 12);
      EXPECT_EQ(backdrop->inset, (Size{30, 20}));
      platform->userInterface().answerAlert(activation == 8 ? 1 : 0);
    }
  }
  EXPECT_EQ(offeredAt, (std::vector<int>{2, 5, 8}));
  EXPECT_EQ(openedURLs(), std::vector<std::string>{"https://store.test/upgrade"});

  // A bundle without the pattern still makes the offer, on the alert's own background.
  reinstall(false);
  launchAndLoad();
  platform->application().send(LifecycleEvent::WillEnterForeground);
  platform->application().send(LifecycleEvent::DidBecomeActive);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_FALSE(alerts()[0].backdrop);
  platform->userInterface().answerAlert(0);

  // Without a store page there is nothing to offer.
  reinstall();
  platform->simBundle().setInfo("TumblaUpgradeURL", "");
  launchAndLoad();
  for (int activation = 2; activation <= 8; ++activation) {
    platform->application().send(LifecycleEvent::WillEnterForeground);
    platform->application().send(LifecycleEvent::DidBecomeActive);
  }
  EXPECT_TRUE(alerts().empty());
}

}  // namespace
}  // namespace tumbla

namespace tumbla {
namespace {

TEST_F(PromotionsTest, AFeatureTheBundleDoesNotNameNeverShows) {
  struct Case {
    std::optional<std::vector<std::string>> named;
    HostFeatures shown;
  };
  const Case cases[] = {
      {std::nullopt, {true, true, true, true}},
      {std::vector<std::string>{}, HostFeatures::none()},
      {std::vector<std::string>{"sharing"}, {true, false, false, false}},
      {std::vector<std::string>{"upgrade"}, {false, true, false, false}},
      {std::vector<std::string>{"promotion"}, {false, false, true, false}},
      {std::vector<std::string>{"prompts", "upgrade"}, {false, true, false, true}},
  };
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const Case& c = cases[index];
    install();
    configureBundle();
    if (c.named) {
      Array names;
      for (const std::string& name : *c.named) names.push_back(Value(name));
      platform->simBundle().setInfo("TumblaHostFeatures", Value(std::move(names)));
    }
    // Every switch on: whatever is wanted has its chance.
    answer("adsenseOrNot", "1");
    answer("tumbla1", "1");
    launchAndLoad();
    answersArrive();
    const HostFeatures& want = c.shown;
    EXPECT_EQ(controller().snapshotSharing().cameraButton() != nullptr, want.sharing) << index;
    EXPECT_EQ(controller().promotions().promotionButton() != nullptr, want.promotion) << index;
    EXPECT_EQ(asked("tumbla1"), want.promotion ? 1u : 0u) << index;
    EXPECT_EQ(iRate::sharedInstance().disabled(), !want.prompts) << index;
    EXPECT_EQ(iNotify::sharedInstance().disabled(), !want.prompts) << index;
    EXPECT_EQ(iVersion::sharedInstance().localChecksDisabled(), !want.prompts) << index;
    EXPECT_EQ(iVersion::sharedInstance().remoteChecksDisabled(), !want.prompts) << index;

    // The second activation brings the upgrade offer, the third opens the share panel.
    platform->application().send(LifecycleEvent::DidBecomeActive);
    ASSERT_EQ(controller().intValue(), 2) << index;
    EXPECT_EQ(alerts().size(), want.upgrade ? 1u : 0u) << index;
    if (!alerts().empty()) platform->userInterface().answerAlert(0);
    platform->application().send(LifecycleEvent::WillEnterForeground);
    platform->application().send(LifecycleEvent::DidBecomeActive);
    ASSERT_EQ(controller().intValue(), 3) << index;
    const std::shared_ptr<View>& panel = controller().snapshotSharing().shareView();
    EXPECT_EQ(panel && !panel->isHidden(), want.sharing) << index;
    EXPECT_TRUE(alerts().empty()) << index;
  }
}

}  // namespace
}  // namespace tumbla
