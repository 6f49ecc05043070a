#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class SimUrlLoading : public ::testing::Test {
 protected:
  void SetUp() override { platform = &SimPlatform::install(); }
  void TearDown() override { ApplicationContext::uninstall(); }

  UrlConnectionHandlers recording() {
    UrlConnectionHandlers handlers;
    handlers.didReceiveResponse = [this](const UrlResponse& r) {
      events.push_back("response " + std::to_string(r.statusCode));
    };
    handlers.didReceiveData = [this](std::string_view data) {
      events.push_back("data " + std::string(data));
    };
    handlers.didFinishLoading = [this] { events.push_back("finish"); };
    handlers.didFail = [this](const Error& e) {
      events.push_back("fail " + e.localizedDescription);
    };
    return handlers;
  }

  SimPlatform* platform = nullptr;
  std::vector<std::string> events;
};

TEST_F(SimUrlLoading, AnswersFromTheTableAfterTheirDelayOnTheVirtualClock) {
  SimUrlLoader& loader = platform->urlLoader();
  loader.setAnswer("http://probe.test/", {503, "busy", {}, 2.0});
  UrlRequest request{"http://probe.test/"};
  request.timeoutSeconds = 10;
  Subscription connection = loader.start(request, recording());
  platform->runLoop().advance(1.9);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(loader.activeConnectionCount(), 1u);
  platform->runLoop().advance(0.1);
  EXPECT_EQ(events, (std::vector<std::string>{"response 503", "data busy", "finish"}));
  EXPECT_EQ(loader.activeConnectionCount(), 0u);

  Result<UrlReply> reply = loader.load(request);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->body, "busy");
  EXPECT_EQ(loader.requestCount("http://probe.test/"), 2u);
}

TEST_F(SimUrlLoading, UnknownSlowAndOversizedAnswersFailAndCancelledOnesStaySilent) {
  SimUrlLoader& loader = platform->urlLoader();
  loader.setAnswer("http://slow.test/", {200, "late", {}, 30});
  loader.setAnswer("http://big.test/", {200, std::string(100, 'x')});
  UrlRequest slow{"http://slow.test/"};
  slow.timeoutSeconds = 10;
  Subscription timedOut = loader.start(slow, recording());
  platform->runLoop().advance(10);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_TRUE(events[0].starts_with("fail ")) << events[0];

  EXPECT_FALSE(loader.load(UrlRequest{"http://nowhere.test/"}));
  EXPECT_FALSE(loader.load(UrlRequest{"file:///etc/passwd"}));
  UrlRequest big{"http://big.test/"};
  big.maxBodyBytes = 99;
  EXPECT_FALSE(loader.load(big));

  events.clear();
  Subscription cancelled = loader.start(UrlRequest{"http://big.test/"}, recording());
  cancelled.cancel();
  platform->runLoop().advance(1);
  EXPECT_TRUE(events.empty());
  EXPECT_EQ(loader.activeConnectionCount(), 0u);
}

TEST_F(SimUrlLoading, ALoadKeepsItsHandlersUntilAnsweredCancelledOrEndedWithThePlatform) {
  SimUrlLoader& loader = platform->urlLoader();
  loader.setAnswer("http://quick.test/", {200, "ok", {}, 1});
  loader.setAnswer("http://slow.test/", {200, "late", {}, 60});
  UrlRequest slow{"http://slow.test/"};
  slow.timeoutSeconds = 120;
  // What a load's handlers hold lives exactly as long as the load needs them.
  auto started = [&](const UrlRequest& request, std::weak_ptr<int>& held) {
    auto token = std::make_shared<int>(0);
    held = token;
    UrlConnectionHandlers handlers = recording();
    handlers.didFinishLoading = [this, token] { events.push_back("finish"); };
    return loader.start(request, std::move(handlers));
  };
  std::weak_ptr<int> answered;
  std::weak_ptr<int> cancelled;
  std::weak_ptr<int> pending;
  Subscription quick = started(UrlRequest{"http://quick.test/"}, answered);
  Subscription dropped = started(slow, cancelled);
  Subscription waiting = started(slow, pending);
  EXPECT_EQ(loader.activeConnectionCount(), 3u);

  platform->runLoop().advance(1);
  EXPECT_EQ(events, (std::vector<std::string>{"response 200", "data ok", "finish"}));
  EXPECT_TRUE(answered.expired());
  EXPECT_FALSE(cancelled.expired());
  dropped.cancel();
  EXPECT_TRUE(cancelled.expired());
  EXPECT_EQ(loader.activeConnectionCount(), 1u);

  events.clear();
  EXPECT_FALSE(pending.expired());
  ApplicationContext::uninstall();
  EXPECT_TRUE(pending.expired());
  EXPECT_TRUE(events.empty());
  // The owner's subscription outlives the loader and ends quietly.
  waiting.cancel();
}

TEST_F(SimUrlLoading, AlertsWaitForTheTestsAnswerAndGoAwayWhenTheirOwnerDrops) {
  SimUserInterface& ui = platform->userInterface();
  std::vector<int> answers;
  Subscription kept = ui.showAlert({"Kept", "", {"OK"}, 0}, [&](int i) { answers.push_back(i); });
  {
    Subscription dropped =
        ui.showAlert({"Dropped", "", {"A", "B"}, 0}, [&](int i) { answers.push_back(i); });
    ASSERT_EQ(ui.visibleAlerts().size(), 2u);
  }
  ASSERT_EQ(ui.visibleAlerts().size(), 1u);
  EXPECT_EQ(ui.visibleAlerts()[0].title, "Kept");
  EXPECT_TRUE(ui.answerAlert(0));
  EXPECT_EQ(answers, std::vector<int>{0});
  EXPECT_FALSE(ui.answerAlert(0));
}

}  // namespace
}  // namespace tumbla
