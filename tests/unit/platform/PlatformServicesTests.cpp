#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Animation.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class PlatformServices : public ::testing::Test {
 protected:
  void SetUp() override { platform = &SimPlatform::install(); }
  void TearDown() override { ApplicationContext::uninstall(); }
  SimPlatform* platform = nullptr;
};

// Shared instances that write down their ends; the last one looks the first one up as it
// goes, as a sound manager asks for the playing sounds.
std::vector<std::string> ended;
struct First {
  ~First() { ended.push_back("first"); }
};
struct Second {
  ~Second() {
    ended.push_back(ApplicationContext::existingInstance<First>() ? "second, first still there"
                                                                  : "second alone");
  }
};

TEST_F(PlatformServices, TheContextMakesSharedInstancesOnceAndEndsThemNewestFirst) {
  ended.clear();
  ApplicationContext& context = ApplicationContext::current();
  EXPECT_EQ(ApplicationContext::existingInstance<First>(), nullptr);
  First& first = context.sharedInstance<First>();
  EXPECT_EQ(&context.sharedInstance<First>(), &first);
  context.sharedInstance<Second>();
  EXPECT_TRUE(context.firstTime("said"));
  EXPECT_FALSE(context.firstTime("said"));
  EXPECT_TRUE(context.firstTime("something else"));

  SimPlatform::install();  // a new test: everything of the old context ends, newest first
  EXPECT_EQ(ended, (std::vector<std::string>{"second, first still there", "first"}));
  EXPECT_EQ(ApplicationContext::existingInstance<First>(), nullptr);
  EXPECT_TRUE(ApplicationContext::current().firstTime("said"));
  ApplicationContext::uninstall();
  EXPECT_EQ(ApplicationContext::existingInstance<First>(), nullptr);
}

TEST_F(PlatformServices, TimersFireInTimeOrderUntilInvalidatedOrReleased) {
  SimRunLoop& loop = platform->runLoop();
  std::vector<std::string> fired;
  auto late = loop.scheduleTimer(2.0, false, [&] { fired.push_back("late"); });
  auto early = loop.scheduleTimer(1.0, false, [&] { fired.push_back("early"); });
  auto tick = loop.scheduleTimer(0.4, true, [&] { fired.push_back("tick"); });
  auto dropped = loop.scheduleTimer(0.1, false, [&] { fired.push_back("dropped"); });
  dropped.reset();
  // Releasing a timer takes it off the loop at once, as invalidating it does.
  EXPECT_EQ(loop.activeTimerCount(), 3u);
  loop.advance(1.0);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick", "tick", "early"}));
  tick->invalidate();
  EXPECT_EQ(loop.activeTimerCount(), 1u);
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
  Subscription firstSubscription = center.addObserver("Ping", nullptr, [&](const Notification&) {
    ++first;
    secondSubscription.cancel();
  });
  secondSubscription = center.addObserver("Ping", nullptr, [&](const Notification&) { ++second; });
  Subscription otherSubscription =
      center.addObserver("Ping", &otherSender, [&](const Notification&) { ++other; });
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
  Subscription keep = center.addObserver("Ping", nullptr, [&](const Notification&) { ++kept; });
  center.addObserver("Ping", nullptr, [&](const Notification&) { ++dropped; }).cancel();
  Subscription source = center.addObserver("Ping", nullptr, [&](const Notification&) { ++moved; });
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
    outliving = shortLived.addObserver("Ping", nullptr, [&](const Notification&) {});
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
  platform->simStorage().failOn(platform->preferencesFile(), SimStorage::Operation::Write, EIO);
  Status failed = defaults.synchronize();
  EXPECT_EQ(failed.code(), EIO);
  platform->simStorage().stopFailing();
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
  platform->simStorage().failOn(platform->preferencesFile(), SimStorage::Operation::Write, ENOSPC);
  EXPECT_FALSE(defaults.synchronize());
  platform->simStorage().stopFailing();
  stored->stored.set("theme", Value::integer(8));
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(stored->stored.find("theme")->toInteger(), 3);
}

TEST_F(PlatformServices, FilesAreReplacedWholeAndUnusableOnesKeptAside) {
  SimStorage& files = platform->simStorage();
  auto path = files.documentsDirectory() / "deep" / "state.txt";
  ASSERT_TRUE(files.writeFileAtomically(path, "one"));
  ASSERT_TRUE(files.writeFileAtomically(path, "two"));
  EXPECT_EQ(files.readFile(path).value(), "two");
  EXPECT_EQ(files.filesIn(path.parent_path()), std::vector<std::filesystem::path>{path});

  auto first = files.keepAside(path, "corrupt");
  ASSERT_TRUE(files.writeFileAtomically(path, "three"));
  auto second = files.keepAside(path, "corrupt");
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  EXPECT_EQ(files.readFile(*first).value(), "two");
  EXPECT_EQ(files.readFile(*second).value(), "three");
  EXPECT_FALSE(files.fileExists(path));
  EXPECT_EQ(files.readFile(files.documentsDirectory() / "missing").code(), ENOENT);
  EXPECT_EQ(files.keepAside(path, "corrupt").code(), ENOENT);
}

// A failure made on a path fails that operation there and inside it, with the system's
// code and words, and leaves every file as it was.
TEST_F(PlatformServices, SimulatedStorageFailsAnyOperationOnDemandAndKeepsTheFiles) {
  using Operation = SimStorage::Operation;
  SimStorage& files = platform->simStorage();
  const std::filesystem::path folder = files.documentsDirectory() / "saves";
  const std::filesystem::path file = folder / "game.json";
  const std::filesystem::path beside = files.documentsDirectory() / "other.json";
  for (int error : {ENOSPC, EACCES, EIO, EROFS}) {
    for (Operation operation : {Operation::Read, Operation::Write, Operation::KeepAside}) {
      for (const std::filesystem::path& failing : {file, folder}) {
        SCOPED_TRACE(::testing::Message() << std::strerror(error) << ", operation "
                                          << static_cast<int>(operation) << " on " << failing);
        files.stopFailing();
        ASSERT_TRUE(files.writeFileAtomically(file, "earlier"));
        ASSERT_TRUE(files.writeFileAtomically(beside, "beside"));
        files.failOn(failing, operation, error);

        Result<std::string> read = files.readFile(file);
        Status written = files.writeFileAtomically(file, "later");
        Result<std::filesystem::path> aside = files.keepAside(file, "corrupt");
        const Failure* failure = operation == Operation::Read    ? &read.failure()
                                 : operation == Operation::Write ? &written.failure()
                                                                 : &aside.failure();
        EXPECT_EQ(read.ok(), operation != Operation::Read);
        EXPECT_EQ(written.ok(), operation != Operation::Write);
        EXPECT_EQ(aside.ok(), operation != Operation::KeepAside);
        EXPECT_EQ(failure->code(), error);
        EXPECT_NE(failure->reason().find(file.string()), std::string::npos) << failure->reason();
        EXPECT_NE(failure->reason().find(std::strerror(error)), std::string::npos);

        files.stopFailing();
        EXPECT_EQ(files.readFile(operation == Operation::KeepAside ? file : *aside).value(),
                  operation == Operation::Write ? "earlier" : "later");
        EXPECT_TRUE(files.writeFileAtomically(beside, "still writable"));
      }
    }
  }
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
