#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/JavaScriptLiteral.h"
#include "bridge/URLDispatcher.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"
#include "prompts/iNotify.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

class ScriptRecorder : public URLDispatcherDelegate {
 public:
  explicit ScriptRecorder(bool exits) : exits_(exits) {}
  void openExternalURL(const Url&) override {}
  void updateSettings(const QueryParameters&) override {}
  void executeJavaScript(const std::string& script) override { calls.push_back(script); }
  bool respondsTo(Optional operation) const override {
    return exits_ && operation == Optional::ExitFullScreen;
  }
  void exitFullScreen() override { calls.push_back("exitFullScreen"); }

  std::vector<std::string> calls;

 private:
  bool exits_;
};

class PromptBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = &SimPlatform::install();
    platform->simBundle().setInfo("CFBundleVersion", "2.0");
    dispatcher.setDelegate(&page);
  }
  void TearDown() override { ApplicationContext::uninstall(); }
  void command(const char* text) { EXPECT_TRUE(dispatcher.dispatchURL(*Url::parse(text))) << text; }

  SimPlatform* platform = nullptr;
  ScriptRecorder page{true};
  URLDispatcher dispatcher;
};

TEST(ProcessedVersionNumber, UnpacksTheLastDigitOfTheLastNumber) {
  const std::pair<const char*, const char*> cases[] = {
      {"1.25", "1.2.5"},       {"1.3", "1.0.3"},   {"1.30", "1.3"},   {"1.10", "1.1"},
      {"1.05", "1.0.5"},       {"2.0", "2.0"},     {"2", "2.0"},      {"1.123", "1.12.3"},
      {"1.251", "1.25.1"},     {"1.2.5", "1.0.5"}, {"", "0.0"},       {"x.y", "0.0"},
      {"3.99999", "3.9999.9"}, {"1.1e40", "1.0"},  {"1.23", "1.2.3"}, {"1.13", "1.1.3"},
  };
  for (const auto& [input, shown] : cases) {
    EXPECT_EQ(URLDispatcher::processedVersionNumber(input), shown) << input;
  }
}

TEST(JavaScriptLiteral, EveryTextBecomesOneLiteralThatCannotEndEarly) {
  EXPECT_EQ(javaScriptStringLiteral("plain"), "\"plain\"");
  EXPECT_EQ(javaScriptStringLiteral("\"); alert(1); (\""), "\"\\\"); alert(1); (\\\"\"");
  EXPECT_EQ(javaScriptStringLiteral("a\\b\nc\r\td"), "\"a\\\\b\\nc\\r\\td\"");
  EXPECT_EQ(javaScriptStringLiteral("</script><!--'"),
            "\"\\u003C/script\\u003E\\u003C!--\\u0027\"");
  EXPECT_EQ(javaScriptStringLiteral("\u2028\u2029\x01"), "\"\\u2028\\u2029\\u0001\"");
  EXPECT_EQ(javaScriptStringLiteral("caf\xc3\xa9 \xff"), "\"caf\xc3\xa9 \\uFFFD\"");
  EXPECT_EQ(javaScriptOptionalStringLiteral(std::nullopt), "\"(null)\"");
}

TEST_F(PromptBridge, EachPromptGoesToThePageAndTheComponentShowsNothing) {
  EXPECT_FALSE(dispatcher.iRateShouldShouldPromptForRating());
  EXPECT_FALSE(dispatcher.iVersionShouldDisplayNewVersion("1.25", "Faster\n\nNew \"levels\""));
  EXPECT_FALSE(dispatcher.iVersionShouldDisplayCurrentVersionDetails("Notes"));
  EXPECT_FALSE(dispatcher.iNotifyShouldDisplayNotificationWithKey(
      "k", Dictionary{{"Title", "\"); alert(1); (\""}, {"Message", "line\nbreak"}}));
  EXPECT_EQ(page.calls,
            (std::vector<std::string>{
                "Tumbla.showRatingPrompt()",
                "Tumbla.showNewVersion(\"1.2.5\", \"Faster\\n\\nNew \\\"levels\\\"\")",
                "Tumbla.showCurrentVersion(\"2.0\", \"Notes\")",
                "Tumbla.showNotification(\"k\", \"\\\"); alert(1); (\\\"\", \"line\\nbreak\", "
                "\"(null)\", \"More...\")"}));
  EXPECT_TRUE(dispatcher.respondsTo(iRateDelegate::Optional::ShouldPromptForRating));
  EXPECT_FALSE(dispatcher.respondsTo(iRateDelegate::Optional::CouldNotConnectToAppStore));
  EXPECT_FALSE(dispatcher.respondsTo(iVersionDelegate::Optional::ShouldCheckForNewVersion));
  EXPECT_FALSE(dispatcher.respondsTo(iNotifyDelegate::Optional::DetectedNotifications));
}

TEST_F(PromptBridge, ThePagesAnswersAreRecordedInTheComponents) {
  command("tumbla://iRate.prismora/decline");
  EXPECT_TRUE(iRate::sharedInstance().declinedThisVersion());
  command("tumbla://iRate.prismora/Rated");  // letter case matters: nothing
  EXPECT_FALSE(iRate::sharedInstance().ratedThisVersion());
  command("tumbla://iRate.prismora/rated");
  EXPECT_TRUE(iRate::sharedInstance().ratedThisVersion());
  ASSERT_EQ(platform->application().openedURLs().size(), 1u);
  EXPECT_EQ(page.calls, std::vector<std::string>{"exitFullScreen"});
  command("tumbla://iRate.prismora/remind");
  EXPECT_EQ(iRate::sharedInstance().lastReminded(), platform->runLoop().now());

  command("tumbla://iVersion.prismora/ignore?version=2.1");
  EXPECT_EQ(iVersion::sharedInstance().ignoredVersion(), "2.1");
  // The page answers with the version it was shown; the list's key is what is skipped.
  dispatcher.iVersionShouldDisplayNewVersion("1.25", "notes");
  command("tumbla://iVersion.prismora/ignore?version=1.2.5");
  EXPECT_EQ(iVersion::sharedInstance().ignoredVersion(), "1.25");
  command("tumbla://iVersion.prismora/ignore?version=1.25");
  EXPECT_EQ(iVersion::sharedInstance().ignoredVersion(), "1.25");
  command("tumbla://iVersion.prismora/ignore");
  EXPECT_EQ(iVersion::sharedInstance().ignoredVersion(), std::nullopt);
  command("tumbla://iVersion.prismora/viewedLocal");
  EXPECT_TRUE(iVersion::sharedInstance().viewedVersionDetails());
  command("tumbla://iVersion.prismora/remind");
  EXPECT_EQ(iVersion::sharedInstance().lastReminded(), platform->runLoop().now());
  // The player's click in the page's dialog is what lets the second store page open now.
  platform->application().gesture();
  command("tumbla://iVersion.prismora/viewedRemote");
  EXPECT_EQ(platform->application().openedURLs().size(), 2u);

  iNotify& notices = iNotify::sharedInstance();
  command("tumbla://iNotify.prismora/remind");
  EXPECT_TRUE(notices.lastReminded());
  command("tumbla://iNotify.prismora/viewed?key=abc");
  EXPECT_EQ(notices.viewedNotifications(), std::vector<std::string>{"abc"});
  EXPECT_FALSE(notices.lastReminded());
  command("tumbla://iNotify.prismora/ignore?key=a%20b");
  command("tumbla://iNotify.prismora/ignore");
  EXPECT_EQ(notices.ignoredNotifications(), std::vector<std::string>{"a b"});
}

TEST_F(PromptBridge, TheDispatcherStopsBeingTheDelegateWhenItGoes) {
  {
    URLDispatcher shortLived;
    iRate::sharedInstance().setDelegate(&shortLived);
    iNotify::sharedInstance().setDelegate(&shortLived);
    iVersion::sharedInstance().setDelegate(&dispatcher);
  }
  EXPECT_EQ(iRate::sharedInstance().delegate(), nullptr);
  EXPECT_EQ(iNotify::sharedInstance().delegate(), nullptr);
  EXPECT_EQ(iVersion::sharedInstance().delegate(), &dispatcher);
  iVersion::sharedInstance().setDelegate(nullptr);
}

}  // namespace
}  // namespace tumbla
