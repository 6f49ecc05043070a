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
  // The settings read from a fresh bundle whose `key` holds `info`, and the lines logged.
  DeploymentSettings readWith(std::string_view key, const std::optional<Value>& info,
                              std::vector<std::string>& logged) {
    ApplicationContext::uninstall();
    platform = &SimPlatform::install();
    if (info) platform->simBundle().setInfo(key, *info);
    LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
    DeploymentSettings read = DeploymentSettings::fromBundle();
    setLogSink(previous);
    return read;
  }
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

TEST_F(DeploymentSettingsTest, APageSizeIsTwoPositiveWholeNumbersAndAnythingElseIsLogged) {
  struct Case {
    std::optional<Value> info;
    std::optional<Size> read;
  };
  const Case cases[] = {
      {std::nullopt, std::nullopt},
      {Value("500x900"), Size{500, 900}},
      {Value("1024x768"), Size{1024, 768}},
      {Value("1x1"), Size{1, 1}},
      {Value("0x900"), std::nullopt},
      {Value("500x-9"), std::nullopt},
      {Value("500X900"), std::nullopt},
      {Value(" 500x900"), std::nullopt},
      {Value("500x900px"), std::nullopt},
      {Value("500.5x900"), std::nullopt},
      {Value("500x"), std::nullopt},
      {Value("x900"), std::nullopt},
      {Value("500x900x2"), std::nullopt},
      {Value("999999x900"), std::nullopt},
      {Value(""), std::nullopt},
      {Value::integer(500), std::nullopt},
  };
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const Case& c = cases[index];
    std::vector<std::string> logged;
    DeploymentSettings read = readWith("TumblaPageSize", c.info, logged);
    EXPECT_EQ(read.pageSize, c.read) << "case " << index;
    // Only a value given and refused is worth a line.
    bool refused = c.info && !c.read;
    ASSERT_EQ(logged.size(), refused ? 1u : 0u) << "case " << index;
    if (refused) {
      EXPECT_NE(logged[0].find("TumblaPageSize"), std::string::npos) << index;
    }
  }
}

TEST_F(DeploymentSettingsTest, TheHostFeaturesAreAllUnlessTheBundleNamesSome) {
  auto names = [](std::initializer_list<Value> items) {
    Array array;
    for (const Value& item : items) array.push_back(item);
    return Value(std::move(array));
  };
  struct Case {
    std::optional<Value> info;
    HostFeatures read;
    std::size_t linesLogged;
  };
  const Case cases[] = {
      {std::nullopt, {true, true, true, true}, 0},
      {names({}), HostFeatures::none(), 0},
      {names({"sharing"}), {true, false, false, false}, 0},
      {names({"upgrade"}), {false, true, false, false}, 0},
      {names({"promotion"}), {false, false, true, false}, 0},
      {names({"prompts"}), {false, false, false, true}, 0},
      {names({"prompts", "sharing", "prompts"}), {true, false, false, true}, 0},
      // Names compare exactly; what is not a feature is said and skipped.
      {names({"Sharing", "camera", Value::integer(1), "upgrade"}), {false, true, false, false}, 3},
      // A value that is no list at all changes nothing.
      {Value("sharing"), {true, true, true, true}, 1},
  };
  for (std::size_t index = 0; index < std::size(cases); ++index) {
    const Case& c = cases[index];
    std::vector<std::string> logged;
    DeploymentSettings read = readWith("TumblaHostFeatures", c.info, logged);
    EXPECT_EQ(read.features, c.read) << "case " << index;
    EXPECT_EQ(logged.size(), c.linesLogged) << "case " << index;
    for (const std::string& line : logged) {
      EXPECT_NE(line.find("TumblaHostFeatures"), std::string::npos) << line;
    }
  }
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
