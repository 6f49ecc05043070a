#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/BackgroundThread.h"
#include "platform/Log.h"

// Tests whose code starts threads. The test command also runs every test named "Thread*"
// under ThreadSanitizer, so new threaded tests belong here or carry "Thread" in their name.

namespace tumbla {
namespace {

// Waits, without sleeping a fixed time, until `condition` holds or a generous deadline
// passes; answers whether it holds.
template <class Condition>
bool eventually(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

TEST(Threads, AnOwnerThatGoesAwayWaitsForItsThread) {
  std::atomic<bool> started{false};
  std::atomic<bool> mayFinish{false};
  int result = 0;  // Written by the thread, read after the join: no atomic needed.
  {
    BackgroundThread owner(std::thread([&] {
      started = true;
      while (!mayFinish) std::this_thread::yield();
      result = 42;
    }));
    ASSERT_TRUE(eventually([&] { return started.load(); }));
    EXPECT_TRUE(owner.isRunning());
    mayFinish = true;
  }
  EXPECT_EQ(result, 42);
}

TEST(Threads, AssigningAnOwnerWaitsForTheThreadItHeld) {
  std::atomic<bool> mayFinish{false};
  int first = 0;
  BackgroundThread owner(std::thread([&] {
    while (!mayFinish) std::this_thread::yield();
    first = 1;
  }));
  mayFinish = true;
  owner = BackgroundThread(std::thread([] {}));
  EXPECT_EQ(first, 1);
  owner.join();
  EXPECT_FALSE(owner.isRunning());
}

TEST(Threads, LinesLoggedFromSeveralThreadsArriveWhole) {
  std::vector<std::string> lines;
  LogSink previous = setLogSink([&](std::string_view line) { lines.emplace_back(line); });
  {
    std::vector<BackgroundThread> writers;
    for (int writer = 0; writer < 4; ++writer) {
      writers.emplace_back(std::thread([writer] {
        for (int i = 0; i < 200; ++i) logLine("writer " + std::to_string(writer) + " line");
      }));
    }
  }
  setLogSink(previous);
  ASSERT_EQ(lines.size(), 800u);
  for (const std::string& line : lines) {
    EXPECT_TRUE(line.starts_with("writer ") && line.ends_with(" line")) << line;
  }
}

}  // namespace
}  // namespace tumbla
