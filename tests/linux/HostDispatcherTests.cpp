#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {
namespace {

using testing::pumpUntil;

TEST(HostDispatcher, WorkRunsAtOnceWhenTheHostIsFree) {
  HostDispatcher dispatcher;
  std::vector<std::string> order;
  dispatcher.dispatch([&] {
    EXPECT_TRUE(dispatcher.isBusy());
    order.push_back("task");
  });
  order.push_back("after");
  EXPECT_EQ(order, (std::vector<std::string>{"task", "after"}));
  EXPECT_FALSE(dispatcher.isBusy());
}

TEST(HostDispatcher, WorkArrivingWhileTheHostIsBusyWaitsAndKeepsItsOrder) {
  HostDispatcher dispatcher;
  std::vector<std::string> order;
  {
    HostDispatcher::Busy busy = dispatcher.enterHost();
    dispatcher.dispatch([&] {
      order.push_back("first");
      // Arrives while the first is running: goes behind everything already waiting.
      dispatcher.dispatch([&] { order.push_back("last"); });
    });
    {
      // A script call's nested iteration of the loop lets no held work through.
      HostDispatcher::Busy waiting = dispatcher.waitForScript();
      dispatcher.dispatch([&] { order.push_back("second"); });
      g_main_context_iteration(nullptr, FALSE);
    }
    dispatcher.post([&] { order.push_back("posted"); });
    order.push_back("operation ends");
  }
  // Work that arrives after the operation while others still wait queues behind them.
  dispatcher.dispatch([&] { order.push_back("third"); });
  EXPECT_EQ(order, (std::vector<std::string>{"operation ends"}));
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 6; }, 5));
  EXPECT_EQ(order, (std::vector<std::string>{"operation ends", "first", "second", "posted", "third",
                                             "last"}));

  // Posted work never runs inside the call, even when the host is free.
  dispatcher.post([&] { order.push_back("later"); });
  EXPECT_EQ(order.back(), "last");
  ASSERT_TRUE(pumpUntil([&] { return order.back() == "later"; }, 5));
}

TEST(HostDispatcher, HeldWorkGoesWithTheDispatcherWithoutRunning) {
  bool ran = false;
  {
    HostDispatcher dispatcher;
    HostDispatcher::Busy busy = dispatcher.enterHost();
    dispatcher.dispatch([&] { ran = true; });
  }
  pumpUntil([] { return false; }, 0.1);
  EXPECT_FALSE(ran);
}

TEST(HostDispatcherDeathTest, HostCodeEnteredWhileAScriptCallWaitsIsCaughtInDebugBuilds) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  HostDispatcher dispatcher;
  EXPECT_DEBUG_DEATH(
      {
        HostDispatcher::Busy waiting = dispatcher.waitForScript();
        HostDispatcher::Busy entered = dispatcher.enterHost();
      },
      "script call is waiting");
}

class GLibRunLoopTest : public ::testing::Test {
 protected:
  HostDispatcher dispatcher_;
  std::optional<GLibRunLoop> loop_{std::in_place, dispatcher_};
};

TEST_F(GLibRunLoopTest, TimersFireOnTheLoopAndStopWhenInvalidatedOrReleased) {
  int oneShot = 0;
  int repeating = 0;
  auto once = loop_->scheduleTimer(0.01, false, [&] { ++oneShot; });
  auto repeat = loop_->scheduleTimer(0.01, true, [&] { ++repeating; });
  auto cancelled =
      loop_->scheduleTimer(0.01, false, [&] { ADD_FAILURE() << "cancelled timer ran"; });
  cancelled->invalidate();
  auto released = loop_->scheduleTimer(0.01, true, [&] { ADD_FAILURE() << "released timer ran"; });
  released.reset();
  ASSERT_TRUE(pumpUntil([&] { return repeating >= 3; }, 5));
  repeat->invalidate();
  int stoppedAt = repeating;
  pumpUntil([] { return false; }, 0.1);
  EXPECT_EQ(oneShot, 1);
  EXPECT_EQ(repeating, stoppedAt);
  EXPECT_FALSE(once->isValid());
}

TEST_F(GLibRunLoopTest, ATimerDueWhileTheHostIsBusyFiresOnceAfterIt) {
  std::vector<bool> firedDuringOperation;
  auto timer = loop_->scheduleTimer(0.005, true, [&] { firedDuringOperation.push_back(false); });
  {
    HostDispatcher::Busy busy = dispatcher_.enterHost();
    // Several periods pass while the operation iterates the loop.
    pumpUntil([] { return false; }, 0.1);
    EXPECT_TRUE(firedDuringOperation.empty());
  }
  ASSERT_TRUE(pumpUntil([&] { return !firedDuringOperation.empty(); }, 5));
  timer->invalidate();
  // The missed periods coalesce into one firing, then the timer goes on as before.
  EXPECT_LE(firedDuringOperation.size(), 2u);
}

TEST_F(GLibRunLoopTest, TasksPostedFromAnyThreadRunOnTheMainThreadInOrder) {
  std::thread::id mainThread = std::this_thread::get_id();
  std::vector<int> seenOnMain;
  loop_->postToMain([&] { seenOnMain.push_back(0); });
  // Never at once, even from the main thread.
  EXPECT_TRUE(seenOnMain.empty());

  std::atomic<bool> backgroundDone = false;
  BackgroundThread worker = loop_->startBackground([&] {
    EXPECT_NE(std::this_thread::get_id(), mainThread);
    for (int i = 1; i <= 50; ++i) {
      loop_->postToMain([&, i] {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        seenOnMain.push_back(i);
      });
    }
    backgroundDone = true;
  });
  ASSERT_TRUE(pumpUntil([&] { return backgroundDone && seenOnMain.size() == 51; }, 10));
  worker.join();
  for (int i = 0; i <= 50; ++i) EXPECT_EQ(seenOnMain[static_cast<std::size_t>(i)], i);
}

TEST_F(GLibRunLoopTest, NothingScheduledRunsOnceTheLoopIsGone) {
  bool ran = false;
  auto timer = loop_->scheduleTimer(0.01, true, [&] { ran = true; });
  loop_->postToMain([&] { ran = true; });
  loop_.reset();
  pumpUntil([] { return false; }, 0.1);
  EXPECT_FALSE(ran);
  // Its timers' handles outlive it harmlessly.
  timer->invalidate();
}

}  // namespace
}  // namespace tumbla
