#include <gtest/gtest.h>

#include "PromptFixture.h"
#include "platform/Log.h"
#include "prompts/iNotify.h"

namespace tumbla {
namespace {

constexpr const char* kList = "http://lists.test/notices.plist";

class RecordingNoticeDelegate : public iNotifyDelegate {
 public:
  bool respondsTo(Optional operation) const override {
    return operation != Optional::ShouldCheckForNotifications;
  }
  void iNotifyNotificationsCheckFailed(const std::optional<Error>&) override { ++failures; }
  void iNotifyDetectedNotifications(const Dictionary& notices) override {
    detected.push_back(notices.size());
  }
  bool iNotifyShouldDisplayNotificationWithKey(const std::string& key, const Dictionary&) override {
    shown.push_back(key);
    return true;
  }

  int failures = 0;
  std::vector<std::size_t> detected;
  std::vector<std::string> shown;
};

Dictionary notice(std::initializer_list<Dictionary::Entry> entries) {
  return Dictionary(entries);
}

class RemoteNotices : public testing::PromptFixture {
 protected:
  void SetUp() override {
    PromptFixture::SetUp();
    notices().setNotificationsPlistURL(kList);
    notices().setDelegate(&delegate);
  }
  void TearDown() override {
    notices().setDelegate(nullptr);
    PromptFixture::TearDown();
  }
  iNotify& notices() { return iNotify::sharedInstance(); }
  void publish(const Dictionary& list) { serve(kList, plistBytes(list)); }

  RecordingNoticeDelegate delegate;
};

TEST_F(RemoteNotices, TheFirstLaunchOnlyLeavesItsMarkAndTheNextTriggerChecks) {
  publish({{"a", notice({{"Title", "Hello"}})}});
  launch();
  EXPECT_EQ(platform->urlLoader().requestCount(kList), 0u);
  ASSERT_TRUE(stored("iNotifyIgnoredNotifications"));
  EXPECT_EQ(*stored("iNotifyIgnoredNotifications"), Value(Array{}));
  returnToForeground();
  EXPECT_EQ(delegate.shown, std::vector<std::string>{"a"});
  EXPECT_EQ(notices().lastChecked(), platform->runLoop().now());
}

TEST_F(RemoteNotices, NoticesShowOneAtATimeInKeyOrderWithTheirButtons) {
  notices().setShowOnFirstLaunch(true);
  publish({{"2011-05-01", notice({{"Title", "May"}, {"Message", "old"}})},
           {"2011-06-15", notice({{"Title", "June"}, {"ActionURL", "https://example.test/"}})}});
  launch();
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].title, "June");
  EXPECT_EQ(alerts()[0].buttons,
            (std::vector<std::string>{"More...", "Remind Me Later", "Ignore"}));
  EXPECT_EQ(alerts()[0].cancelButtonIndex, 2);
  platform->userInterface().answerAlert(0);  // the action
  EXPECT_EQ(notices().viewedNotifications(), std::vector<std::string>{"2011-06-15"});
  ASSERT_EQ(opened().size(), 1u);
  EXPECT_EQ(opened()[0].absoluteString(), "https://example.test/");

  daysPass(0.5);
  returnToForeground();
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].title, "May");
  EXPECT_EQ(alerts()[0].buttons, std::vector<std::string>{"OK"});
  platform->userInterface().answerAlert(0);
  EXPECT_EQ(notices().viewedNotifications(),
            (std::vector<std::string>{"2011-06-15", "2011-05-01"}));

  daysPass(0.5);
  returnToForeground();
  EXPECT_EQ(delegate.detected.back(), 0u);  // all seen: detected empty, nothing shown
  EXPECT_TRUE(alerts().empty());

  // Letters without regard to case ("a" before "B"), digits as characters ("10" before "9").
  Dictionary numbered{{"9", notice({})}, {"10", notice({})}, {"a", notice({})}, {"B", notice({})}};
  EXPECT_EQ(notices().nextNotificationInDict(numbered), "B");
  notices().setShowOldestFirst(true);
  EXPECT_EQ(notices().nextNotificationInDict(numbered), "10");
}

TEST_F(RemoteNotices, RemindIgnoreAndOutsideAddressesThatAreNotWebAddresses) {
  notices().setShowOnFirstLaunch(true);
  publish({{"n", notice({{"ActionURL", "file:///etc/passwd"}, {"ActionButton", "Open"}})}});
  launch();
  platform->userInterface().answerAlert(1);  // remind
  EXPECT_EQ(notices().lastReminded(), platform->runLoop().now());
  EXPECT_TRUE(notices().viewedNotifications().empty());
  daysPass(0.99);
  EXPECT_FALSE(notices().shouldCheckForNotifications());
  daysPass(0.01);
  returnToForeground();
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].buttons[0], "Open");
  platform->userInterface().answerAlert(0);  // the action: recorded, but a file is never opened
  EXPECT_EQ(notices().viewedNotifications(), std::vector<std::string>{"n"});
  EXPECT_FALSE(notices().lastReminded());
  EXPECT_TRUE(opened().empty());

  // Ignore, the cancel button of a notice with an action, records it as ignored only.
  publish({{"m", notice({{"ActionURL", "https://example.test/"}})}});
  daysPass(0.5);
  returnToForeground();
  ASSERT_EQ(alerts().size(), 1u);
  ASSERT_EQ(alerts()[0].buttons[2], "Ignore");
  platform->userInterface().answerAlert(2);
  EXPECT_EQ(notices().ignoredNotifications(), std::vector<std::string>{"m"});
  EXPECT_EQ(notices().viewedNotifications(), std::vector<std::string>{"n"});
  EXPECT_TRUE(opened().empty());

  notices().setNotificationIgnored(std::nullopt);
  notices().setNotificationViewed(std::nullopt);
  EXPECT_EQ(notices().viewedNotifications(), std::vector<std::string>{"n"});
  EXPECT_EQ(notices().ignoredNotifications(), std::vector<std::string>{"m"});
  notices().setNotificationIgnored("x");
  notices().setNotificationIgnored("x");
  EXPECT_EQ(notices().ignoredNotifications(), (std::vector<std::string>{"m", "x", "x"}));
}

TEST_F(RemoteNotices, DebugStartsOverOnceEveryNoticeWasSeen) {
  notices().setDebug(true);
  notices().setViewedNotifications(std::vector<std::string>{"a"});
  notices().setIgnoredNotifications(std::vector<std::string>{"b"});
  notices().setNotificationsDict(Dictionary{{"a", notice({})}, {"b", notice({})}});
  EXPECT_EQ(notices().notificationsDict()->size(), 2u);
  EXPECT_FALSE(stored("iNotifyViewedNotifications"));
  EXPECT_EQ(*stored("iNotifyIgnoredNotifications"), Value(Array{}));
}

TEST_F(RemoteNotices, BrokenListsAndDeadServersAreFailedChecks) {
  notices().setShowOnFirstLaunch(true);
  const std::string bodies[] = {
      plistBytes(Value("a string root")),
      plistBytes(Dictionary{{"n", Value("not a dictionary")}}),
      plistBytes(Dictionary{{"n", notice({{"Title", Value::integer(7)}})}}),
      "garbage",
  };
  for (const std::string& body : bodies) {
    serve(kList, body);
    notices().setLastChecked(std::nullopt);
    notices().checkForNotifications();
    platform->runLoop().runPendingTasks();
    EXPECT_TRUE(notices().lastChecked());
  }
  platform->urlLoader().setAnswer(kList, {200, "", {}, 0, "connection refused"});
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  notices().checkForNotifications();
  platform->runLoop().runPendingTasks();
  setLogSink(previous);
  // A dead server is said in one line, with the address and the reason.
  ASSERT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);
  EXPECT_NE(logged[0].find(std::string(kList)), std::string::npos) << logged[0];
  EXPECT_NE(logged[0].find("connection refused"), std::string::npos) << logged[0];
  EXPECT_EQ(delegate.failures, 5);
  EXPECT_TRUE(delegate.shown.empty());
  EXPECT_TRUE(alerts().empty());
}

}  // namespace
}  // namespace tumbla
