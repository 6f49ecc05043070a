#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "HostFixture.h"
#include "facebook/FBDialog.h"
#include "facebook/FBParams.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

constexpr const char* kConfigPage = "http://config.test/pj.php";

// One way out of the game: `configure` readies the bundle before the launch for an
// address the path takes from it; `open` asks the path to open that address once.
struct OutsidePath {
  const char* name;
  std::function<void(SimPlatform&, const std::string& url)> configure;
  std::function<void(SimPlatform&, TumblaViewController&, const std::string& url)> open;
};

void navigatePage(SimPlatform& platform, const std::string& url, NavigationType type) {
  platform.userInterface().webViews().front()->navigate(*Url::parse(url), type);
}

std::vector<OutsidePath> outsidePaths() {
  auto nothing = [](SimPlatform&, const std::string&) {};
  return {
      {"the page's command", nothing,
       [](SimPlatform& platform, TumblaViewController&, const std::string& url) {
         navigatePage(platform, url, NavigationType::Other);
       }},
      {"the page's link or new window", nothing,
       [](SimPlatform& platform, TumblaViewController&, const std::string& url) {
         navigatePage(platform, url, NavigationType::LinkClicked);
       }},
      {"the rating prompt's rate button", nothing,
       [](SimPlatform& platform, TumblaViewController&, const std::string& url) {
         iRate::sharedInstance().setRatingsURL(url);
         navigatePage(platform, "tumbla://iRate.prismora/rated", NavigationType::Other);
       }},
      {"the version prompt's download button", nothing,
       [](SimPlatform& platform, TumblaViewController&, const std::string& url) {
         iVersion::sharedInstance().setUpdateURL(url);
         navigatePage(platform, "tumbla://iVersion.prismora/viewedRemote", NavigationType::Other);
       }},
      {"the promotion button",
       [](SimPlatform& platform, const std::string&) {
         SimBundle& bundle = platform.simBundle();
         bundle.setInfo("TumblaConfigURL", kConfigPage);
         bundle.setInfo("TumblaConfigAppCode1", "tumbla1");
         bundle.setInfo("TumblaConfigAppCode2", "tumbla2");
         platform.userInterface().addImage("medical.png", {20, 20});
         platform.urlLoader().setAnswer(std::string(kConfigPage) + "?app=adsenseOrNot",
                                        {200, "1", {}, 0});
       },
       [](SimPlatform& platform, TumblaViewController& controller, const std::string& url) {
         platform.urlLoader().setAnswer(std::string(kConfigPage) + "?app=adsenseWeb",
                                        {200, url, {}, 0});
         platform.runLoop().advance(0);
         ASSERT_TRUE(controller.promotions().promotionButton());
         controller.promotions().promotionButton()->sendAction();
         platform.runLoop().advance(0);
       }},
      {"the upgrade alert's Buy Now",
       [](SimPlatform& platform, const std::string& url) {
         platform.simBundle().setInfo("TumblaUpgradeURL", url);
       },
       [](SimPlatform& platform, TumblaViewController&, const std::string&) {
         // The offer comes on every third activation.
         for (int activation = 0; activation < 3; ++activation) {
           platform.application().send(LifecycleEvent::WillEnterForeground);
           platform.application().send(LifecycleEvent::DidBecomeActive);
           if (!platform.userInterface().visibleAlerts().empty()) break;
         }
         ASSERT_FALSE(platform.userInterface().visibleAlerts().empty());
         platform.userInterface().answerAlert(1);
       }},
      {"a link in the login dialog", nothing,
       [](SimPlatform& platform, TumblaViewController&, const std::string& url) {
         auto dialog = std::make_shared<FBDialog>("http://login.test/d", FBParams::make(), nullptr);
         dialog->show();
         platform.userInterface().webViews().back()->navigate(*Url::parse(url),
                                                              NavigationType::LinkClicked);
       }},
  };
}

// An "open-outside" line of the trace.
struct Asked {
  std::string url;
  bool handedOver;
};

class OutsideGateTest : public testing::HostFixture {
 protected:
  // Launches with `path` configured for `url`, tracing what is asked to leave.
  void launchFor(const OutsidePath& path, const std::string& url) {
    install();
    path.configure(*platform, url);
    platform->setTraceSink([this](const Dictionary& event) {
      const Value* kind = event.find("event");
      if (!kind || !kind->stringIf() || *kind->stringIf() != "open-outside") return;
      asked.push_back(Asked{std::string(*event.find("url")->stringIf()),
                            *event.find("handedOver")->booleanIf()});
    });
    asked.clear();
    launchAndLoad();
  }

  std::vector<Asked> asked;
};

TEST_F(OutsideGateTest, EveryPathLetsOneScriptedOpeningASecondAndNoOtherSchemeEver) {
  for (const OutsidePath& path : outsidePaths()) {
    SCOPED_TRACE(path.name);
    // A burst without the player: one opening goes, the rest wait for a second to pass.
    launchFor(path, "https://gate.test/burst");
    for (int attempt = 0; attempt < 4; ++attempt) {
      path.open(*platform, controller(), "https://gate.test/burst");
    }
    ASSERT_GE(asked.size(), 2u) << "the path never reached the gate";
    int handedOver = 0;
    for (const Asked& each : asked) handedOver += each.handedOver ? 1 : 0;
    EXPECT_EQ(handedOver, 1);
    EXPECT_EQ(platform->application().openedURLs().size(), 1u);
    // The player's click or key lets the next one go at once.
    platform->application().gesture();
    asked.clear();
    path.open(*platform, controller(), "https://gate.test/burst");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].handedOver);

    // Other schemes never leave, whether the player just clicked or not.
    for (const char* url : {"smb://gate.test/share", "file:///etc/passwd", "mailto:a@gate.test",
                            "javascript:alert(1)"}) {
      SCOPED_TRACE(url);
      launchFor(path, url);
      platform->application().gesture();
      path.open(*platform, controller(), url);
      platform->runLoop().advance(2);
      path.open(*platform, controller(), url);
      for (const Asked& each : asked) EXPECT_FALSE(each.handedOver) << each.url;
      EXPECT_TRUE(platform->application().openedURLs().empty());
    }
  }
}

}  // namespace
}  // namespace tumbla
