#include <gtest/gtest.h>

#include "host/DeploymentSettings.h"
#include "host/PromptConfiguration.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/sim/SimPlatform.h"
#include "prompts/iNotify.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

class DeploymentSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { platform = &SimPlatform::install(); }
  void TearDown() override { ApplicationContext::uninstall(); }
  SimPlatform* platform = nullptr;
};

TEST_F(DeploymentSettingsTest, HarmlessDefaultsAndKeysOfTheWrongTypeKeepThem) {
  DeploymentSettings defaults = DeploymentSettings::fromBundle();
  EXPECT_EQ(defaults.appStoreID, 0u);
  EXPECT_EQ(defaults.configURL, "");
  EXPECT_EQ(defaults.probeURL, "");
  EXPECT_EQ(defaults.storeHost, "itunes.apple.com");

  SimBundle& bundle = platform->simBundle();
  bundle.setInfo("TumblaAppStoreID", Value::integer(4294967295));
  bundle.setInfo("TumblaReviewStoreID", Value::integer(-5));
  bundle.setInfo("TumblaConfigURL", Value::integer(3));
  bundle.setInfo("TumblaLocalVersionsPath", "lists/versions.plist");
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  DeploymentSettings read = DeploymentSettings::fromBundle();
  setLogSink(previous);
  EXPECT_EQ(read.appStoreID, 4294967295u);
  EXPECT_EQ(read.reviewStoreID, 0u);
  EXPECT_EQ(read.configURL, "");
  EXPECT_EQ(read.localVersionsPath, "lists/versions.plist");
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged[0].find("TumblaReviewStoreID"), std::string::npos);
  EXPECT_NE(logged[1].find("TumblaConfigURL"), std::string::npos);
}

TEST_F(DeploymentSettingsTest, ThePromptsAreConfiguredAsTheGameWantsThem) {
  SimBundle& bundle = platform->simBundle();
  bundle.setInfo("CFBundleName", "Bundle name");
  bundle.setInfo("TumblaAppStoreID", Value::integer(123));
  bundle.setInfo("TumblaProbeURL", "http://probe.test/");
  bundle.setInfo("TumblaNotificationsURL", "http://lists.test/notices.plist");
  PromptConfiguration::configure(DeploymentSettings::fromBundle());

  // Each value differs from the component's own default.
  const iVersion& versions = iVersion::sharedInstance();
  EXPECT_FALSE(versions.groupNotesByVersion());
  EXPECT_TRUE(versions.showOnFirstLaunch());
  EXPECT_EQ(versions.applicationName(), "Fizzpaw");
  EXPECT_EQ(versions.appStoreID(), 123u);
  const iRate& rating = iRate::sharedInstance();
  EXPECT_EQ(rating.remindPeriod(), 10.0f);
  EXPECT_EQ(rating.applicationName(), "Fizzpaw");
  EXPECT_EQ(rating.appStoreID(), 123u);
  EXPECT_EQ(rating.probeURL(), "http://probe.test/");
  EXPECT_EQ(iNotify::sharedInstance().notificationsPlistURL(), "http://lists.test/notices.plist");
}

}  // namespace
}  // namespace tumbla
