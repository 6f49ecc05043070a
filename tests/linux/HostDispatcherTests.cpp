#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/StallProbe.h"
#include "platform/linux/WorkerQueue.h"

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

TEST_F(GLibRunLoopTest, ThreadWorkerQueueAnswersOnTheMainThreadInOrderAndDropsWhatIsNotWanted) {
  std::thread::id mainThread = std::this_thread::get_id();
  WorkerQueue queue(*loop_);
  std::vector<int> answered;
  std::vector<Subscription> jobs;
  std::atomic<bool> release = false;
  std::atomic<int> worked = 0;
  for (int job = 1; job <= 4; ++job) {
    jobs.push_back(queue.run([&, job](const std::atomic<bool>&) {
      EXPECT_NE(std::this_thread::get_id(), mainThread);
      // The first job holds the worker until the second is cancelled.
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ++worked;
      return WorkerQueue::Answer([&, job] {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        answered.push_back(job);
      });
    }));
  }
  // Never at once, and a job whose subscription ends before it starts never runs.
  EXPECT_TRUE(answered.empty());
  jobs[1].cancel();
  release = true;
  ASSERT_TRUE(pumpUntil([&] { return answered.size() == 3; }, 10));
  pumpUntil([] { return false; }, 0.1);
  EXPECT_EQ(answered, (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(worked, 3);
}

TEST_F(GLibRunLoopTest, ThreadWorkerQueueGoingStopsItsWorkAndAnswersNothing) {
  std::multiset<std::string> before = testing::threadNames();
  std::atomic<bool> started = false;
  std::atomic<bool> sawCancel = false;
  bool answered = false;
  std::atomic<bool> laterJobRan = false;
  {
    WorkerQueue queue(*loop_);
    Subscription running = queue.run([&](const std::atomic<bool>& cancelled) {
      started = true;
      // Long work that checks now and then whether it is still wanted.
      auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!cancelled && std::chrono::steady_clock::now() < giveUp) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      sawCancel = cancelled.load();
      return WorkerQueue::Answer([&] { answered = true; });
    });
    Subscription later = queue.run([&](const std::atomic<bool>&) {
      laterJobRan = true;
      return WorkerQueue::Answer([&] { answered = true; });
    });
    ASSERT_TRUE(pumpUntil([&] { return started.load(); }, 10));
  }
  pumpUntil([] { return false; }, 0.1);
  EXPECT_TRUE(sawCancel);
  EXPECT_FALSE(laterJobRan);
  EXPECT_FALSE(answered);
  EXPECT_EQ(testing::threadsLeftOver(before, testing::threadNames()), std::vector<std::string>{});
}

// Each case makes one long turn of the loop in its own way; the probe says how long the turn
// was and how much of it was host code, and times the synchronous script calls apart.
TEST_F(GLibRunLoopTest, TheStallProbeTellsHostWorkFromScriptCallsAndFromTheToolkit) {
  constexpr auto kLong = std::chrono::milliseconds(40);
  constexpr double kLongMs = 40;
  auto busyFor = [](std::chrono::milliseconds span) {
    auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(span / 8);
  };
  struct Case {
    const char* what;
    std::function<void()> schedule;
    bool hostStall;
    bool scriptCall;
    bool launch = false;
  };
  std::vector<Case> cases = {
      // Before the loop first waits nothing has been drawn: the launch is told apart.
      {"the launch",
       [&] {
         HostDispatcher::Busy launching = dispatcher_.enterHost();
         busyFor(kLong);
       },
       false, false, true},
      {"host work", [&] { loop_->postToMain([&] { busyFor(kLong); }); }, true, false},
      {"the toolkit's own work",
       [&] {
         g_idle_add_full(
             G_PRIORITY_DEFAULT,
             [](gpointer busy) {
               (*static_cast<decltype(busyFor)*>(busy))(kLong);
               return G_SOURCE_REMOVE;
             },
             &busyFor, nullptr);
       },
       false, false},
      // The loop turns while the call waits; the host holds everything else meanwhile.
      {"a script call",
       [&] {
         loop_->postToMain([&] {
           HostDispatcher::Busy waiting = dispatcher_.waitForScript();
           auto end = std::chrono::steady_clock::now() + kLong;
           while (std::chrono::steady_clock::now() < end) g_main_context_iteration(nullptr, FALSE);
         });
       },
       false, true},
  };
  for (const Case& tried : cases) {
    SCOPED_TRACE(tried.what);
    std::vector<Dictionary> events;
    bool done = false;
    {
      StallProbe probe(dispatcher_, [&](const Dictionary& event) { events.push_back(event); });
      tried.schedule();
      loop_->postToMain([&] { done = true; });
      ASSERT_TRUE(pumpUntil([&] { return done; }, 10));
      // A turn is measured when the loop next looks for events.
      g_main_context_iteration(nullptr, FALSE);
    }
    auto number = [](const Dictionary& event, const char* key) {
      const Value* value = event.find(key);
      return value ? value->toReal().value_or(-1.0) : -1.0;
    };
    double longestTurn = 0;
    double longestHost = 0;
    double longestHostCpu = 0;
    double longestScriptCall = 0;
    for (const Dictionary& event : events) {
      std::string name(event.find("event")->stringIf().value_or(""));
      if (name == "stall") {
        longestTurn = std::max(longestTurn, number(event, "ms"));
        longestHost = std::max(longestHost, number(event, "hostMs"));
        longestHostCpu = std::max(longestHostCpu, number(event, "hostCpuMs"));
        EXPECT_LE(number(event, "hostMs"), number(event, "ms"));
      }
      if (name == "script-call")
        longestScriptCall = std::max(longestScriptCall, number(event, "ms"));
    }
    ASSERT_FALSE(events.empty());
    const Dictionary& summary = events.back();
    EXPECT_EQ(*summary.find("event"), Value("stall-summary"));
    EXPECT_EQ(number(summary, "scriptCalls"), tried.scriptCall ? 1 : 0);
    EXPECT_EQ(number(summary, "launchHostMs") >= kLongMs, tried.launch);
    if (tried.scriptCall) {
      EXPECT_GE(longestScriptCall, kLongMs);
      EXPECT_GE(number(summary, "longestScriptCallMs"), kLongMs);
    } else if (tried.launch) {
      EXPECT_LT(longestTurn, kLongMs);
    } else {
      EXPECT_GE(longestTurn, kLongMs);
      EXPECT_EQ(longestScriptCall, 0);
    }
    if (tried.hostStall) {
      EXPECT_GE(longestHost, kLongMs);
      // The work sleeps: it waits, and uses next to no processor time.
      EXPECT_LT(longestHostCpu, kLongMs / 2);
      EXPECT_EQ(number(summary, "longestHostMs"), longestHost);
    } else {
      EXPECT_LT(number(summary, "longestHostMs"), kLongMs / 2);
    }
  }
}

}  // namespace
}  // namespace tumbla
