#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <chrono>

#include "TestSupport.h"
#include "platform/linux/LinuxPlatform.h"
#include "value/LeadingNumber.h"

namespace tumbla {
namespace {

using testing::ScopedEnvironment;
using testing::TemporaryDirectory;

class LinuxPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundle_.write("Info.plist",
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>HTML</key>"
                  "<string>index</string></dict></plist>");
    options_.bundleDirectory = bundle_.path();
  }

  std::unique_ptr<LinuxPlatform> create() {
    Result<std::unique_ptr<LinuxPlatform>> created = LinuxPlatform::create(options_);
    if (!created) {
      ADD_FAILURE() << created.reason();
      return nullptr;
    }
    return std::move(*created);
  }

  std::string problemCreating() {
    Result<std::unique_ptr<LinuxPlatform>> created = LinuxPlatform::create(options_);
    return created ? "" : created.reason();
  }

  TemporaryDirectory bundle_;
  TemporaryDirectory data_;
  LinuxPlatformOptions options_;
};

TEST_F(LinuxPlatformTest, ADataDirectoryHoldsTheDocumentsAndThePreferences) {
  options_.dataDirectory = data_.path() / "player";
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / "player" / "Documents");
  EXPECT_TRUE(std::filesystem::is_directory(data_.path() / "player" / "Documents"));
  EXPECT_EQ(platform->preferencesFile(), data_.path() / "player" / "preferences.plist");
  EXPECT_EQ(*platform->bundle().objectForInfoDictionaryKey("HTML"), Value("index"));

  platform->userDefaults().setInteger("theme", 3);
  ASSERT_TRUE(platform->userDefaults().synchronize());
  platform.reset();
  EXPECT_EQ(create()->userDefaults().integerForKey("theme"), 3);
}

TEST_F(LinuxPlatformTest, WithoutADataDirectoryTheXdgDirectoriesAreUsed) {
  ScopedEnvironment dataHome("XDG_DATA_HOME", (data_.path() / "data").c_str());
  ScopedEnvironment configHome("XDG_CONFIG_HOME", (data_.path() / "config").c_str());
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / "data" / "tumbla");
  EXPECT_EQ(platform->preferencesFile(), data_.path() / "config" / "tumbla" / "preferences.plist");
  EXPECT_TRUE(std::filesystem::is_directory(data_.path() / "config" / "tumbla"));
}

TEST_F(LinuxPlatformTest, RelativeXdgDirectoriesAreIgnoredForTheHomeDefaults) {
  ScopedEnvironment home("HOME", data_.path().c_str());
  ScopedEnvironment dataHome("XDG_DATA_HOME", "relative/data");
  ScopedEnvironment configHome("XDG_CONFIG_HOME", nullptr);
  auto platform = create();
  ASSERT_TRUE(platform);
  EXPECT_EQ(platform->storage().documentsDirectory(), data_.path() / ".local" / "share" / "tumbla");
  EXPECT_EQ(platform->preferencesFile(), data_.path() / ".config" / "tumbla" / "preferences.plist");
}

TEST_F(LinuxPlatformTest, ProblemsAreReportedNotHidden) {
  options_.dataDirectory = data_.path();
  {
    ScopedEnvironment timeout("TUMBLA_SCRIPT_TIMEOUT_MS", "soon");
    EXPECT_NE(problemCreating().find("TUMBLA_SCRIPT_TIMEOUT_MS"), std::string::npos);
  }
  // A file where the data directory should be.
  options_.dataDirectory = data_.write("occupied", "a file");
  EXPECT_NE(problemCreating().find("documents directory"), std::string::npos);
  options_.dataDirectory = data_.path();
  options_.bundleDirectory = bundle_.path() / "missing";
  EXPECT_NE(problemCreating().find("missing"), std::string::npos);
}

TEST_F(LinuxPlatformTest, TheScriptTimeLimitCanBeShortenedFromTheEnvironment) {
  options_.dataDirectory = data_.path();
  ScopedEnvironment timeout("TUMBLA_SCRIPT_TIMEOUT_MS", "300");
  auto platform = create();
  ASSERT_TRUE(platform);
  auto webView = platform->userInterface().makeWebView({0, 0, 10, 10});
  testing::CapturedLog log;
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(webView->evaluateScript("while (true) {}"));
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_GE(waited, 0.25);
  EXPECT_LT(waited, 2.0);
}

TEST_F(LinuxPlatformTest, DeviceFactsComeFromTheOptionsAndTheSystem) {
  options_.dataDirectory = data_.path();
  options_.idiom = UserInterfaceIdiom::Pad;
  auto platform = create();
  ASSERT_TRUE(platform);
  DeviceFacts facts = platform->application().deviceFacts();
  utsname system{};
  ASSERT_EQ(uname(&system), 0);
  EXPECT_EQ(facts.idiom, UserInterfaceIdiom::Pad);
  EXPECT_EQ(facts.model, system.machine);
  // A modern device whatever the distribution's numbering, so the host never takes the
  // older system's launch path.
  EXPECT_EQ(facts.systemVersion, kLinuxSystemVersion);
  EXPECT_GE(leadingReal(facts.systemVersion), 4.0);
  EXPECT_EQ(platform->userInterface().mainScreenBounds(), (Rect{0, 0, 768, 1024}));
}

}  // namespace
}  // namespace tumbla
