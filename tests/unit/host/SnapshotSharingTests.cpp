#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostFixture.h"
#include "facebook/FBRequest.h"
#include "platform/Log.h"

namespace tumbla {
namespace {

class SnapshotSharingTest : public testing::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    SimBundle& bundle = platform->simBundle();
    bundle.setInfo("TumblaFacebookAppID", "4242");
    bundle.setInfo("TumblaFacebookGraphURL", "http://127.0.0.1:9/graph/");
    bundle.setInfo("CFBundleName", "Fizzpaw");
    bundle.setInfo("TumblaUpgradeURL", "http://store.example/app");
    platform->userInterface().addImage("share.png", {180, 120});
    previousSink_ = setLogSink([this](std::string_view line) { logged.emplace_back(line); });
  }
  void TearDown() override {
    setLogSink(previousSink_);
    HostFixture::TearDown();
  }

  SnapshotSharing& sharing() { return controller().snapshotSharing(); }
  SimTextField& field() { return static_cast<SimTextField&>(*sharing().textField()); }
  std::vector<Alert> alerts() { return platform->userInterface().visibleAlerts(); }
  void takeSnapshot() {
    sharing().cameraButton()->sendAction();
    ASSERT_EQ(alerts().size(), 1u);
    platform->userInterface().answerAlert(1);
  }
  // Logs in through the login dialog with a token the page hands back.
  void logIn() {
    sharing().facebookButton()->sendAction();
    auto& dialogWeb = *platform->userInterface().webViews().back();
    dialogWeb.navigate(*Url::parse("fbconnect://success#access_token=TOKEN&expires_in=0"));
  }

  std::vector<std::string> logged;

 private:
  LogSink previousSink_;
};

TEST_F(SnapshotSharingTest, MessagesFollowTheUploadCountOrTheTypedText) {
  auto message = [](const std::string& typed, int count) {
    return SnapshotSharing::messageFor(typed, count, "Fizzpaw", "http://s/1");
  };
  EXPECT_EQ(message("", 0), "What a fantastic game!So AMAZING! (via @Fizzpaw) http://s/1");
  EXPECT_EQ(message("", 1), "Love this game! (via @Fizzpaw) http://s/1");
  EXPECT_EQ(message("", 2), "So FUNNY! Passes time (via @Fizzpaw) http://s/1");
  EXPECT_EQ(message("", 3), message("", 0));
  EXPECT_EQ(message("", -1), message("", 2));
  EXPECT_EQ(message("  ", 0), "   (via @Fizzpaw) http://s/1");
  EXPECT_EQ(message("50% off %@", 1), "50% off %@ (via @Fizzpaw) http://s/1");
}

TEST_F(SnapshotSharingTest, ControlsHaveTheirNamesAndThePanelStartsHidden) {
  launchAndLoad();
  EXPECT_EQ(sharing().cameraButton()->accessibleName(), "Snapshot");
  EXPECT_EQ(sharing().facebookButton()->accessibleName(), "Share on Facebook");
  EXPECT_EQ(sharing().cancelButton()->accessibleName(), "Cancel");
  EXPECT_EQ(sharing().cancelButton()->title(), "Cancel");
  // Escape closes the panel as Cancel does; no other button of the game answers it.
  EXPECT_TRUE(sharing().cancelButton()->isCancelButton());
  EXPECT_FALSE(sharing().facebookButton()->isCancelButton());
  EXPECT_FALSE(sharing().cameraButton()->isCancelButton());
  EXPECT_EQ(sharing().textField()->accessibleName(), "Message");
  EXPECT_TRUE(sharing().shareView()->isHidden());
  EXPECT_EQ(sharing().shareView()->frame(), (Rect{0, 0, 480, 320}));
  EXPECT_EQ(sharing().cameraButton()->frame(), (Rect{320, 0, 20, 20}));
  // The panel and the camera button lie above the page and the launch image.
  const auto& layers = controller().view()->subviews();
  ASSERT_GE(layers.size(), 4u);
  EXPECT_EQ(layers[layers.size() - 2], sharing().shareView());
  EXPECT_EQ(layers.back(), sharing().cameraButton());
}

TEST_F(SnapshotSharingTest, YesTakesTheSnapshotAndTheThumbnailShrinksIntoPlace) {
  launchAndLoad();
  sharing().cameraButton()->sendAction();
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].message, "LOL! Get a Snapshot?!");
  EXPECT_EQ(alerts()[0].buttons, (std::vector<std::string>{"No", "Yes"}));
  platform->userInterface().answerAlert(0);
  EXPECT_TRUE(sharing().shareView()->isHidden());
  EXPECT_EQ(sharing().thumbnail()->image()->path, "share.png");

  field().type("old");
  takeSnapshot();
  EXPECT_FALSE(sharing().shareView()->isHidden());
  EXPECT_EQ(field().text(), "");
  ASSERT_TRUE(sharing().thumbnail()->image()->png);
  EXPECT_EQ(*sharing().thumbnail()->image()->png, "snapshot 480x320");
  EXPECT_EQ(sharing().thumbnail()->frame(), (Rect{0, 0, 480, 320}));
  platform->runLoop().advance(0.4);
  Rect halfway = sharing().thumbnail()->frame();
  EXPECT_GT(halfway.width, 180);
  EXPECT_LT(halfway.width, 480);
  platform->runLoop().advance(0.45);
  EXPECT_EQ(sharing().thumbnail()->frame(), (Rect{15, 45, 180, 120}));
  EXPECT_EQ(controller().view()->subviews().back(), sharing().shareView());
}

TEST_F(SnapshotSharingTest, ShareLogsInUploadsTheSnapshotWithTheMessageAndCounts) {
  launchAndLoad();
  takeSnapshot();
  field().type("Beat level 7");
  platform->urlLoader().setAnswer(
      "http://127.0.0.1:9/graph/me/photos?message=Beat%20level%207%20%28via%20%40Fizzpaw%29%20"
      "http%3A%2F%2Fstore.example%2Fapp&format=json&sdk=ios&access_token=TOKEN",
      {200, "{\"id\":\"99\"}", {}, 0.5, {}});
  logIn();
  EXPECT_TRUE(sharing().shareView()->isHidden());
  ASSERT_EQ(platform->urlLoader().requests().size(), 1u);
  const UrlRequest& upload = platform->urlLoader().requests()[0];
  EXPECT_EQ(upload.method, "POST");
  EXPECT_NE(upload.body.find("name=\"message\"\r\n\r\nBeat level 7 (via @Fizzpaw) "
                             "http://store.example/app\r\n"),
            std::string::npos);
  EXPECT_NE(upload.body.find("filename=\"picture\"\r\nContent-Type: image/png\r\n\r\n"
                             "snapshot 480x320\r\n--"),
            std::string::npos);

  EXPECT_EQ(controller().intFB(), 0);
  platform->runLoop().advance(1);
  EXPECT_EQ(controller().intFB(), 1);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].message, "Image Uploaded Successful!");
  EXPECT_EQ(alerts()[0].buttons, std::vector<std::string>{"Sure"});
  EXPECT_EQ(logged, std::vector<std::string>{"received response"});

  platform->application().send(LifecycleEvent::DidEnterBackground);
  EXPECT_EQ(readDocument("facebook2.plist"), "1");
}

TEST_F(SnapshotSharingTest, AFailedUploadOrLoginIsToldOnceAndNotCounted) {
  const std::string upload =
      "http://127.0.0.1:9/graph/me/photos?message=m%20%28via%20%40Fizzpaw%29%20"
      "http%3A%2F%2Fstore.example%2Fapp&format=json&sdk=ios&access_token=TOKEN";
  struct Case {
    std::optional<SimUrlLoader::Answer> answer;  // none: the server can't be reached
    const char* toldReason;
  };
  const Case cases[] = {
      {std::nullopt, "could not connect"},
      {SimUrlLoader::Answer{400, "", {}, 0.5, {}}, "the server answered HTTP 400"},
      {SimUrlLoader::Answer{500, "<html>Oops</html>", {}, 0.5, {}}, "the server answered HTTP 500"},
      {SimUrlLoader::Answer{
           403, R"({"error":{"message":"x"},"error_msg":"Token expired"})", {}, 0.5, {}},
       "Token expired"},
      {SimUrlLoader::Answer{200, "<html>captive portal</html>", {}, 0.5, {}},
       "the server's answer was not understood"},
  };
  launchAndLoad();
  for (const Case& test : cases) {
    logged.clear();
    if (test.answer) {
      platform->urlLoader().setAnswer(upload, *test.answer);
    } else {
      platform->urlLoader().removeAnswer(upload);
    }
    takeSnapshot();
    field().type("m");
    logIn();
    platform->runLoop().advance(1);
    EXPECT_EQ(controller().intFB(), 0) << test.toldReason;
    ASSERT_EQ(alerts().size(), 1u) << test.toldReason;
    EXPECT_EQ(alerts()[0].message.rfind("Your photo was not posted: ", 0), 0u)
        << alerts()[0].message;
    EXPECT_NE(alerts()[0].message.find(test.toldReason), std::string::npos) << alerts()[0].message;
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(test.toldReason), std::string::npos) << logged.back();
    for (const std::string& line : logged) EXPECT_EQ(line.find("TOKEN"), std::string::npos) << line;
    platform->userInterface().answerAlert(0);
  }

  // A login whose page can't be loaded is told; one the player cancelled is not.
  takeSnapshot();
  sharing().facebookButton()->sendAction();
  SimWebView& login = *platform->userInterface().webViews().back();
  login.delegate()->didFailLoad(login, Error{"WebKitNetworkError", 0, "refused", nullptr, {}});
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].message.find("the login page could not be loaded"), std::string::npos);
  platform->userInterface().answerAlert(0);
  takeSnapshot();
  sharing().facebookButton()->sendAction();
  platform->userInterface().webViews().back()->navigate(*Url::parse("fbconnect://cancel"));
  EXPECT_TRUE(alerts().empty());
  EXPECT_FALSE(sharing().shareView()->isHidden());
  EXPECT_EQ(controller().intFB(), 0);
}

TEST_F(SnapshotSharingTest, WithoutAnApplicationIdSharingExplainsItself) {
  platform->simBundle().setInfo("TumblaFacebookAppID", "");
  launchAndLoad();
  takeSnapshot();
  EXPECT_FALSE(sharing().shareView()->isHidden());
  std::size_t webViews = platform->userInterface().webViews().size();
  sharing().facebookButton()->sendAction();
  EXPECT_EQ(platform->userInterface().webViews().size(), webViews);
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].message.find("not set up"), std::string::npos);
}

TEST_F(SnapshotSharingTest, ActivationsHideThePanelAndOpenItOnTheThirdNinthAndSoOn) {
  launchAndLoad();
  takeSnapshot();
  std::vector<int> openedAt;
  // The start's activation, then keyboard focus coming back, which is no activation: the
  // typed text stays.
  platform->application().send(LifecycleEvent::DidBecomeActive);
  field().type("draft");
  platform->application().send(LifecycleEvent::DidBecomeActive);
  EXPECT_EQ(field().text(), "draft");
  for (int i = 0; i < 15; ++i) {
    platform->application().send(LifecycleEvent::WillEnterForeground);
    platform->application().send(LifecycleEvent::DidBecomeActive);
    EXPECT_EQ(field().text(), "");
    if (!sharing().shareView()->isHidden()) openedAt.push_back(controller().intValue());
  }
  EXPECT_EQ(openedAt, (std::vector<int>{3, 9, 15}));

  sharing().cancelButton()->sendAction();
  EXPECT_TRUE(sharing().shareView()->isHidden());
}

}  // namespace
}  // namespace tumbla
