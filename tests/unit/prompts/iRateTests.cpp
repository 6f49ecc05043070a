#include <gtest/gtest.h>

#include "PromptFixture.h"
#include "platform/Log.h"
#include "prompts/iRate.h"

namespace tumbla {
namespace {

constexpr const char* kProbe = "http://probe.test/";

// A delegate that records what it hears and answers the prompt question as told.
class RecordingRateDelegate : public iRateDelegate {
 public:
  bool respondsTo(Optional) const override { return true; }
  bool iRateShouldShouldPromptForRating() override {
    ++asked;
    return answer;
  }
  void iRateCouldNotConnectToAppStore(const Error&) override { ++failures; }

  bool answer = true;
  int asked = 0;
  int failures = 0;
};

class RatingPrompt : public testing::PromptFixture {
 protected:
  void SetUp() override {
    PromptFixture::SetUp();
    serve(kProbe, "");
    rate().setProbeURL(kProbe);
  }
  iRate& rate() { return iRate::sharedInstance(); }
  // A launch, and the probe's answer if one was asked for.
  void launchAndSettle() {
    launch();
    platform->runLoop().advance(0);
  }
};

TEST_F(RatingPrompt, TheFirstLaunchStartsCountingAndNothingComesBeforeTheThresholds) {
  launchAndSettle();
  EXPECT_EQ(*stored("iRateLastVersionUsed"), Value("1.0"));
  EXPECT_EQ(rate().firstUsed(), platform->runLoop().now());
  EXPECT_EQ(rate().usesCount(), 1u);
  EXPECT_EQ(*stored("iRateEventCount"), Value::integer(0));
  EXPECT_TRUE(platform->storedPreferences()->stored.contains("iRateUseCount"));

  for (int use = 0; use < 9; ++use) returnToForeground();
  EXPECT_EQ(rate().usesCount(), 10u);
  EXPECT_FALSE(rate().shouldPromptForRating());  // ten uses, but not ten days
  EXPECT_EQ(platform->urlLoader().requestCount(kProbe), 0u);

  // Exactly ten days after the first use the age test passes.
  daysPass(10);
  returnToForeground();
  platform->runLoop().advance(0);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].title, "Rate Tumbla");
  EXPECT_EQ(alerts()[0].buttons,
            (std::vector<std::string>{"No, Thanks", "Rate It Now", "Remind Me Later"}));
  EXPECT_NE(alerts()[0].message.find("If you enjoy using Tumbla,"), std::string::npos);
}

TEST_F(RatingPrompt, EligibilityRulesInTheirOrder) {
  launchAndSettle();
  daysPass(9.99);
  rate().setUsesUntilPrompt(0);
  EXPECT_FALSE(rate().shouldPromptForRating());
  daysPass(0.01);
  EXPECT_TRUE(rate().shouldPromptForRating());  // zero uses needed: the count test passes

  rate().setUsesUntilPrompt(50);
  rate().setEventsUntilPrompt(2);
  EXPECT_FALSE(rate().shouldPromptForRating());
  rate().logEvent(true);
  rate().logEvent(true);
  EXPECT_TRUE(rate().shouldPromptForRating());  // either threshold is enough
  EXPECT_TRUE(alerts().empty());                // a deferred event never prompts

  rate().setLastReminded(platform->runLoop().now());
  EXPECT_FALSE(rate().shouldPromptForRating());
  daysPass(1);
  EXPECT_TRUE(rate().shouldPromptForRating());

  rate().setDeclinedThisVersion(true);
  EXPECT_FALSE(rate().shouldPromptForRating());
  rate().setDebug(true);
  EXPECT_TRUE(rate().shouldPromptForRating());
  rate().setDisabled(true);
  EXPECT_FALSE(rate().shouldPromptForRating());
}

TEST_F(RatingPrompt, TheProbeDecidesAndAnyResponseCountsButAFailureOnlyTellsTheDelegate) {
  RecordingRateDelegate delegate;
  rate().setDelegate(&delegate);
  rate().setDebug(true);
  // Whatever its status or size, the probe page's answer is the network being there; the
  // page itself is never needed.
  const std::string large(std::size_t{64} * 1024 + 1, 'x');
  const SimUrlLoader::Answer answers[] = {
      {500, "down", {}, 3},
      {404, ""},
      {200, large, {{"Content-Length", std::to_string(large.size())}}},
      {200, std::string(std::size_t{5} * 1024 * 1024, 'x')},
  };
  for (const SimUrlLoader::Answer& served : answers) {
    SCOPED_TRACE(::testing::Message() << served.statusCode << ", " << served.body.size());
    platform->urlLoader().setAnswer(kProbe, served);
    int asked = delegate.asked;
    returnToForeground();
    platform->runLoop().advance(served.delaySeconds);
    EXPECT_EQ(delegate.asked, asked + 1);
    ASSERT_EQ(alerts().size(), 1u);
    platform->userInterface().answerAlert(2);
  }

  // Refused, or slower than the ten-second limit: nothing shown, nothing recorded, the
  // delegate told and one line saying where and why.
  const std::pair<SimUrlLoader::Answer, const char*> failures[] = {
      {{200, "", {}, 0, "connection refused"}, "connection refused"},
      {{200, "", {}, 60}, "timed out"},
  };
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  for (const auto& [served, reason] : failures) {
    SCOPED_TRACE(reason);
    platform->urlLoader().setAnswer(kProbe, served);
    int failed = delegate.failures;
    logged.clear();
    returnToForeground();
    platform->runLoop().advance(10);
    EXPECT_EQ(delegate.failures, failed + 1);
    EXPECT_TRUE(alerts().empty());
    ASSERT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);
    EXPECT_NE(logged[0].find(kProbe), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find(reason), std::string::npos) << logged[0];
  }
  setLogSink(previous);

  // A delegate that says no leaves everything as it was.
  serve(kProbe, "");
  delegate.answer = false;
  returnToForeground();
  platform->runLoop().advance(0);
  EXPECT_TRUE(alerts().empty());
  EXPECT_FALSE(rate().ratedThisVersion());
  EXPECT_FALSE(rate().declinedThisVersion());
  rate().setDelegate(nullptr);
}

TEST_F(RatingPrompt, AnswersAreRecordedForTheInstalledVersionOnly) {
  rate().setAppStoreID(4000000000u);
  rate().setDebug(true);
  launchAndSettle();
  ASSERT_TRUE(platform->userInterface().answerAlert(1));  // Rate It Now
  EXPECT_EQ(*stored("iRateRatedVersionChecked"), Value("1.0"));
  ASSERT_EQ(opened().size(), 1u);
  EXPECT_EQ(opened()[0].absoluteString(),
            "https://itunes.apple.com/WebObjects/MZStore.woa/wa/"
            "viewContentsUserReviews?type=Purple+Software&id=4000000000");

  returnToForeground();
  platform->runLoop().advance(0);
  platform->userInterface().answerAlert(0);  // No, Thanks
  EXPECT_TRUE(rate().declinedThisVersion());
  returnToForeground();
  platform->runLoop().advance(0);
  platform->userInterface().answerAlert(2);  // Remind Me Later
  EXPECT_EQ(rate().lastReminded(), platform->runLoop().now());

  // A new version starts over; the old answers no longer match.
  rate().setDebug(false);
  rate().setApplicationVersion("1.1");
  launchAndSettle();
  EXPECT_FALSE(rate().ratedThisVersion());
  EXPECT_FALSE(rate().declinedThisVersion());
  EXPECT_FALSE(rate().lastReminded());
  EXPECT_EQ(rate().usesCount(), 1u);
  EXPECT_EQ(*stored("iRateRatedVersionChecked"), Value("1.0"));
}

}  // namespace
}  // namespace tumbla
