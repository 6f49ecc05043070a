#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/PageRecovery.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class PageRecoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop = &SimPlatform::install().runLoop();
    previousSink = setLogSink([this](std::string_view line) { logged.emplace_back(line); });
  }
  void TearDown() override {
    recovery.reset();
    setLogSink(previousSink);
    ApplicationContext::uninstall();
  }

  // When the reloads came, in seconds of virtual time since the test began.
  std::vector<double> reloadTimes;
  std::vector<std::string> logged;
  SimRunLoop* loop = nullptr;
  LogSink previousSink;
  double start = 0;
  std::optional<PageRecovery> recovery{
      std::in_place, [this] { reloadTimes.push_back(loop->now().secondsSince1970 - start); }};
};

TEST_F(PageRecoveryTest, PausesGrowThenItGivesUpAndASettledPageStartsTheCountAfresh) {
  start = loop->now().secondsSince1970;
  struct Ending {
    double at;  // virtual seconds since the start when the web process ends
    const char* said;
  };
  // Reloads come 1, 2 and 4 s after the endings; the fourth ending in a row is given up;
  // a minute after the last reload the page had settled, and it is reloaded again.
  const Ending endings[] = {
      {0, "reloading the page in 1 s"},    {0.5, "reloading the page in 1 s"},
      {2.5, "reloading the page in 2 s"},  {6, "reloading the page in 4 s"},
      {12, "it is not reloaded any more"}, {20, "it is not reloaded any more"},
      {75, "reloading the page in 1 s"},
  };
  for (const Ending& ending : endings) {
    loop->advance(ending.at - (loop->now().secondsSince1970 - start));
    recovery->webProcessEnded();
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged.back().find(ending.said), std::string::npos)
        << ending.at << ": " << logged.back();
  }
  loop->advance(100);
  // The second ending came while a reload was pending: one reload brought the page back.
  EXPECT_EQ(reloadTimes, (std::vector<double>{1, 4.5, 10, 76}));
}

TEST_F(PageRecoveryTest, AReloadStillPendingWhenTheRecoveryGoesNeverComes) {
  recovery->webProcessEnded();
  recovery.reset();
  loop->advance(10);
  EXPECT_TRUE(reloadTimes.empty());
}

}  // namespace
}  // namespace tumbla
