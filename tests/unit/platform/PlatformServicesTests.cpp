#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Animation.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class PlatformServices : public ::testing::Test {
 protected:
  void SetUp() override { platform = &SimPlatform::install(); }
  void TearDown() override { Platform::uninstall(); }
  SimPlatform* platform = nullptr;
};

TEST_F(PlatformServices, TimersFireInTimeOrderUntilInvalidatedOrReleased) {
  SimRunLoop& loop = platform->runLoop();
  std::vector<std::string> fired;
  auto late = loop.scheduleTimer(2.0, false, [&] { fired.push_back("late"); });
  auto early = loop.scheduleTimer(1.0, false, [&] { fired.push_back("early"); });
  auto tick = loop.scheduleTimer(0.4, true, [&] { fired.push_back("tick"); });
  auto dropped = loop.scheduleTimer(0.1, false, [&] { fired.push_back("dropped"); });
  dropped.reset();
  loop.advance(1.0);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick", "tick", "early"}));
  tick->invalidate();
  loop.advance(5.0);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick", "tick", "early", "late"}));
  EXPECT_FALSE(late->isValid());
  EXPECT_EQ(loop.activeTimerCount(), 0u);
}

TEST_F(PlatformServices, ObserversRemovedDuringAPostAreNotCalled) {
  NotificationCenter& center = platform->notificationCenter();
  int first = 0, second = 0, other = 0;
  int sender = 0, otherSender = 0;
  Subscription secondSubscription;
  Subscription firstSubscription =
      center.addObserver(&first, "Ping", nullptr, [&](const Notification&) {
        ++first;
        secondSubscription.cancel();
      });
  secondSubscription =
      center.addObserver(&second, "Ping", nullptr, [&](const Notification&) { ++second; });
  Subscription otherSubscription =
      center.addObserver(&other, "Ping", &otherSender, [&](const Notification&) { ++other; });
  center.post("Ping", &sender);
  center.post("Pong", &sender);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(other, 0);
  center.post("Ping", &otherSender);
  EXPECT_EQ(other, 1);
  EXPECT_EQ(first, 2);
  firstSubscription.cancel();
  center.post("Ping", &sender);
  EXPECT_EQ(first, 2);
}

TEST_F(PlatformServices, ASubscriptionEndsItsRegistrationWhenItGoesAway) {
  NotificationCenter& center = platform->notificationCenter();
  int kept = 0, dropped = 0, moved = 0;
  Subscription keep =
      center.addObserver(&kept, "Ping", nullptr, [&](const Notification&) { ++kept; });
  center.addObserver(&dropped, "Ping", nullptr, [&](const Notification&) { ++dropped; }).cancel();
  Subscription source =
      center.addObserver(&moved, "Ping", nullptr, [&](const Notification&) { ++moved; });
  Subscription target = std::move(source);
  EXPECT_FALSE(source.isActive());
  center.post("Ping");
  EXPECT_EQ(kept, 1);
  EXPECT_EQ(dropped, 0);
  EXPECT_EQ(moved, 1);
  // Cancelling ends only its own registration, once.
  target.cancel();
  target.cancel();
  center.post("Ping");
  EXPECT_EQ(kept, 2);
  EXPECT_EQ(moved, 1);
  // A subscription that outlives its center ends harmlessly.
  Subscription outliving;
  {
    NotificationCenter shortLived;
    outliving = shortLived.addObserver(&kept, "Ping", nullptr, [&](const Notification&) {});
  }
  outliving.cancel();
  EXPECT_FALSE(outliving.isActive());
}

TEST_F(PlatformServices, DefaultsFallBackToRegisteredValuesAndWriteOnlyWhenChanged) {
  UserDefaults& defaults = platform->userDefaults();
  defaults.registerDefaults({{"theme", Value::integer(2)}, {"music", Value::boolean(true)}});
  EXPECT_EQ(defaults.integerForKey("theme"), 2);
  EXPECT_TRUE(defaults.boolForKey("music"));
  EXPECT_FALSE(defaults.boolForKey("absent"));
  EXPECT_EQ(defaults.stringForKey("absent"), std::nullopt);

  EXPECT_TRUE(defaults.synchronize());
  EXPECT_EQ(platform->storedPreferences()->saveCount, 0);
  defaults.setInteger("theme", 5);
  defaults.setObject("when", Date{12.5});
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_EQ(platform->storedPreferences()->saveCount, 1);
  EXPECT_EQ(platform->storedPreferences()->stored.find("music"), nullptr);
  EXPECT_EQ(defaults.dateForKey("when"), Date{12.5});

  defaults.removeObject("theme");
  EXPECT_EQ(defaults.integerForKey("theme"), 2);
  platform->storedPreferences()->failSaves = true;
  EXPECT_FALSE(defaults.synchronize());
  platform->storedPreferences()->failSaves = false;
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_EQ(platform->storedPreferences()->stored.find("theme"), nullptr);
}

TEST_F(PlatformServices, SynchronizeKeepsWhatOthersWroteAndWritesOnlyItsOwnChanges) {
  UserDefaults& defaults = platform->userDefaults();
  auto stored = platform->storedPreferences();
  defaults.setInteger("theme", 1);
  defaults.setBool("music", true);
  ASSERT_TRUE(defaults.synchronize());

  // Another program changes one key and adds another while this one changes a third.
  stored->stored.set("music", Value::boolean(false));
  stored->stored.set("outside", Value::integer(9));
  defaults.setInteger("theme", 2);
  defaults.removeObject("gone");
  stored->stored.set("gone", Value::integer(1));
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(stored->stored.find("theme")->toInteger(), 2);
  EXPECT_FALSE(stored->stored.find("music")->toBoolean().value_or(true));
  EXPECT_EQ(stored->stored.find("outside")->toInteger(), 9);
  EXPECT_EQ(stored->stored.find("gone"), nullptr);
  // What the store holds is what this process reads from now on.
  EXPECT_FALSE(defaults.boolForKey("music"));
  EXPECT_EQ(defaults.integerForKey("outside"), 9);

  // Without changes of its own it only reads; a later outside change still shows.
  int saves = stored->saveCount;
  stored->stored.set("theme", Value::integer(7));
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(stored->saveCount, saves);
  EXPECT_EQ(defaults.integerForKey("theme"), 7);

  // A change whose write failed is written by the next synchronize, over outside edits.
  defaults.setInteger("theme", 3);
  stored->failSaves = true;
  EXPECT_FALSE(defaults.synchronize());
  stored->failSaves = false;
  stored->stored.set("theme", Value::integer(8));
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(stored->stored.find("theme")->toInteger(), 3);
}

TEST_F(PlatformServices, FilesAreReplacedWholeAndUnusableOnesKeptAside) {
  const FileManager& files = platform->fileManager();
  auto path = files.documentsDirectory() / "deep" / "state.txt";
  ASSERT_TRUE(files.writeFileAtomically(path, "one"));
  ASSERT_TRUE(files.writeFileAtomically(path, "two"));
  EXPECT_EQ(files.readFile(path).value(), "two");
  int entries = 0;
  for ([[maybe_unused]] const auto& entry :
       std::filesystem::directory_iterator(path.parent_path())) {
    ++entries;
  }
  EXPECT_EQ(entries, 1) << "no temporary file is left behind";

  auto first = files.keepAside(path, "corrupt");
  ASSERT_TRUE(files.writeFileAtomically(path, "three"));
  auto second = files.keepAside(path, "corrupt");
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(files.readFile(*first).value(), "two");
  EXPECT_EQ(files.readFile(*second).value(), "three");
  EXPECT_FALSE(files.fileExists(path));
  EXPECT_FALSE(files.readFile(files.documentsDirectory() / "missing"));
  EXPECT_FALSE(files.writeFileAtomically("/proc/not-writable/x", "x"));
}

TEST_F(PlatformServices, AlphaAnimationWaitsForItsDelayAndEndsAtTheTarget) {
  auto view = std::make_shared<View>();
  auto timer = animateAlpha(platform->runLoop(), view, 0.0, {0.5, 1.0, AnimationCurve::Linear});
  platform->runLoop().advance(0.5);
  EXPECT_EQ(view->alpha(), 1.0);
  platform->runLoop().advance(0.5);
  EXPECT_NEAR(view->alpha(), 0.5, 0.02);
  platform->runLoop().advance(0.6);
  EXPECT_EQ(view->alpha(), 0.0);
  EXPECT_FALSE(timer->isValid());
}

}  // namespace
}  // namespace tumbla
