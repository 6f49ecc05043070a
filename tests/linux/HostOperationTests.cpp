#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/HostOperation.h"

namespace tumbla {
namespace {

using testing::pumpUntil;

TEST(HostOperation, WorkRunsAtOnceWhenTheHostIsFree) {
  std::vector<std::string> order;
  HostOperation::run([&] {
    EXPECT_TRUE(HostOperation::inProgress());
    order.push_back("task");
  });
  order.push_back("after");
  EXPECT_EQ(order, (std::vector<std::string>{"task", "after"}));
  EXPECT_FALSE(HostOperation::inProgress());
}

TEST(HostOperation, WorkArrivingDuringAnOperationWaitsAndKeepsItsOrder) {
  std::vector<std::string> order;
  {
    HostOperation busy;
    HostOperation::run([&] {
      order.push_back("first");
      // Arrives while the first is running: goes behind everything already waiting.
      HostOperation::run([&] { order.push_back("last"); });
    });
    HostOperation::run([&] { order.push_back("second"); });
    // A nested iteration of the loop does not let held work through.
    g_main_context_iteration(nullptr, FALSE);
    order.push_back("operation ends");
  }
  // Work that arrives after the operation while others still wait queues behind them.
  HostOperation::run([&] { order.push_back("third"); });
  EXPECT_EQ(order, (std::vector<std::string>{"operation ends"}));
  ASSERT_TRUE(pumpUntil([&] { return order.size() == 5; }, 5));
  EXPECT_EQ(order,
            (std::vector<std::string>{"operation ends", "first", "second", "third", "last"}));
}

TEST(GLibRunLoop, TimersFireOnTheLoopAndStopWhenInvalidated) {
  GLibRunLoop loop;
  int oneShot = 0;
  int repeating = 0;
  auto once = loop.scheduleTimer(0.01, false, [&] { ++oneShot; });
  auto repeat = loop.scheduleTimer(0.01, true, [&] { ++repeating; });
  auto cancelled = loop.scheduleTimer(0.01, false, [&] { ADD_FAILURE() << "cancelled timer ran"; });
  cancelled->invalidate();
  ASSERT_TRUE(pumpUntil([&] { return repeating >= 3; }, 5));
  repeat->invalidate();
  int stoppedAt = repeating;
  pumpUntil([] { return false; }, 0.1);
  EXPECT_EQ(oneShot, 1);
  EXPECT_EQ(repeating, stoppedAt);
  EXPECT_FALSE(once->isValid());
}

TEST(GLibRunLoop, ATimerDueDuringAnOperationFiresOnceAfterIt) {
  GLibRunLoop loop;
  std::vector<bool> firedDuringOperation;
  auto timer = loop.scheduleTimer(0.005, true, [&] { firedDuringOperation.push_back(false); });
  {
    HostOperation busy;
    // Several periods pass while the operation iterates the loop.
    pumpUntil([] { return false; }, 0.1);
    EXPECT_TRUE(firedDuringOperation.empty());
  }
  ASSERT_TRUE(pumpUntil([&] { return !firedDuringOperation.empty(); }, 5));
  timer->invalidate();
  // The missed periods coalesce into one firing, then the timer goes on as before.
  EXPECT_LE(firedDuringOperation.size(), 2u);
}

TEST(GLibRunLoop, PostToMainRunsOnTheMainThreadAndCanWait) {
  GLibRunLoop loop;
  std::thread::id mainThread = std::this_thread::get_id();
  bool ranAtOnce = false;
  loop.postToMain([&] { ranAtOnce = true; }, true);
  EXPECT_TRUE(ranAtOnce);

  bool posted = false;
  loop.postToMain([&] { posted = true; }, false);
  EXPECT_FALSE(posted);
  ASSERT_TRUE(pumpUntil([&] { return posted; }, 5));

  std::atomic<int> handedOver = 0;
  std::atomic<bool> backgroundDone = false;
  std::vector<int> seenOnMain;
  BackgroundThread worker = loop.startBackground([&] {
    EXPECT_NE(std::this_thread::get_id(), mainThread);
    for (int i = 1; i <= 3; ++i) {
      loop.postToMain(
          [&, i] {
            EXPECT_EQ(std::this_thread::get_id(), mainThread);
            seenOnMain.push_back(i);
          },
          true);
      // Waiting means the main thread has taken it.
      handedOver = static_cast<int>(seenOnMain.size());
    }
    backgroundDone = true;
  });
  ASSERT_TRUE(pumpUntil([&] { return backgroundDone.load(); }, 5));
  worker.join();
  EXPECT_EQ(seenOnMain, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(handedOver, 3);
}

}  // namespace
}  // namespace tumbla
