#include <gtest/gtest.h>
#include <plist/plist.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "platform/ApplicationContext.h"
#include "platform/Platform.h"
#include "platform/linux/CurlUrlLoader.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/LibplistPropertyLists.h"
#include "platform/linux/SdlAudio.h"
#include "platform/sim/SimApplication.h"
#include "platform/sim/SimBundle.h"
#include "platform/sim/SimPreferencesStore.h"
#include "platform/sim/SimStorage.h"
#include "platform/sim/SimUserInterface.h"
#include "prompts/iNotify.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

using testing::LoopbackHttpServer;
using testing::pumpUntil;

// The real loop, network and property lists; storage and views of the simulated platform.
class NetworkPlatform : public Platform {
 public:
  explicit NetworkPlatform(std::filesystem::path root)
      : Platform(std::make_unique<SimStorage>(root / "Documents"), SimPreferencesStore::maker()),
        bundle_(root) {}

  RunLoop& runLoop() override { return runLoop_; }
  const Bundle& bundle() const override { return bundle_; }
  const PropertyLists& propertyLists() const override { return propertyLists_; }
  Application& application() override { return application_; }
  SimUserInterface& userInterface() override { return userInterface_; }
  UrlLoader& urlLoader() override { return urlLoader_; }
  Audio& audio() override { return audio_; }
  SimBundle& simBundle() { return bundle_; }

 private:
  HostDispatcher dispatcher_;
  GLibRunLoop runLoop_{dispatcher_};
  SimBundle bundle_;
  LibplistPropertyLists propertyLists_;
  SimApplication application_;
  SimUserInterface userInterface_;
  CurlUrlLoader urlLoader_{runLoop_};
  // Muted, and never started: the remote checks play nothing.
  SdlAudio audio_{runLoop_, {true, nullptr, nullptr}};
};

// Records what the components tell it, and on which thread.
class Listener : public iVersionDelegate, public iNotifyDelegate, public iRateDelegate {
 public:
  bool respondsTo(iVersionDelegate::Optional) const override { return true; }
  bool respondsTo(iNotifyDelegate::Optional) const override { return true; }
  bool respondsTo(iRateDelegate::Optional) const override { return true; }
  bool iRateShouldShouldPromptForRating() override {
    record("rating prompt");
    return false;
  }
  void iRateCouldNotConnectToAppStore(const Error& error) override {
    record("probe failed: " + error.localizedDescription);
  }
  void iVersionVersionCheckFailed(const std::optional<Error>& error) override {
    record("versions failed: " + (error ? error->localizedDescription : std::string("?")));
  }
  bool iVersionShouldDisplayNewVersion(const std::string& version, const std::string&) override {
    record("new version " + version);
    return false;
  }
  void iNotifyNotificationsCheckFailed(const std::optional<Error>&) override {
    record("notices failed");
  }
  bool iNotifyShouldDisplayNotificationWithKey(const std::string& key,
                                               const Dictionary& details) override {
    const Value* title = details.find("Title");
    record("notice " + key + ": " +
           std::string(title && title->stringIf() ? *title->stringIf() : ""));
    return false;
  }

  std::vector<std::string> heard;
  bool offMainThread = false;

 private:
  void record(std::string event) {
    offMainThread |= !Platform::shared().runLoop().isMainThread();
    heard.push_back(std::move(event));
  }
};

std::string binaryPlist(const char* key, const char* title) {
  plist_t root = plist_new_dict();
  plist_t notice = plist_new_dict();
  plist_dict_set_item(notice, "Title", plist_new_string(title));
  plist_dict_set_item(root, key, notice);
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  std::string result(bytes, length);
  free(bytes);
  plist_free(root);
  return result;
}

class RemoteChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* made = new NetworkPlatform(directory_.path());
    ApplicationContext::install(std::unique_ptr<Platform>(made));
    made->simBundle().setInfo("CFBundleVersion", "1.0");
    versions().setDelegate(&listener_);
    notices().setDelegate(&listener_);
    notices().setShowOnFirstLaunch(true);
    iRate::sharedInstance().setDelegate(&listener_);
  }
  void TearDown() override { ApplicationContext::uninstall(); }
  iVersion& versions() { return iVersion::sharedInstance(); }
  iNotify& notices() { return iNotify::sharedInstance(); }
  bool heard(std::size_t count) {
    return pumpUntil([&] { return listener_.heard.size() >= count; }, 60);
  }

  testing::TemporaryDirectory directory_;
  LoopbackHttpServer server_;
  Listener listener_;
};

TEST_F(RemoteChecks, GoodXmlAndBinaryListsArriveOnTheMainThread) {
  server_.route("/versions.plist",
                {200,
                 "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>1.25</key><array>"
                 "<string>Faster</string></array></dict></plist>",
                 {},
                 0.3});
  server_.route("/notices.plist", {200, binaryPlist("2024-01-01", "Hello")});
  versions().setRemoteVersionsPlistURL(server_.url("/versions.plist"));
  notices().setNotificationsPlistURL(server_.url("/notices.plist"));
  versions().checkForNewVersion();
  notices().checkForNotifications();
  ASSERT_TRUE(heard(2));
  std::sort(listener_.heard.begin(), listener_.heard.end());
  EXPECT_EQ(listener_.heard,
            (std::vector<std::string>{"new version 1.25", "notice 2024-01-01: Hello"}));
  EXPECT_FALSE(listener_.offMainThread);
  EXPECT_TRUE(versions().lastChecked());
  EXPECT_TRUE(notices().lastChecked());
}

TEST_F(RemoteChecks, BadListsAndBadServersAreFailedChecks) {
  server_.route("/array", {200, "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>"});
  server_.route("/garbage", {200, std::string("bplist00\xff\xfe garbage", 19)});
  server_.route("/huge", {.streamedBytes = 50 * 1024 * 1024});
  server_.route("/missing", {404, "no"});
  server_.route("/loop", {302, "", {{"Location", "/loop"}}});
  const std::string urls[] = {
      server_.url("/array"),
      server_.url("/garbage"),
      server_.url("/huge"),
      server_.url("/missing"),
      server_.url("/loop"),
      "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/refused"};
  for (const std::string& url : urls) {
    std::size_t before = listener_.heard.size();
    versions().setRemoteVersionsPlistURL(url);
    versions().setLastChecked(std::nullopt);
    versions().checkForNewVersion();
    ASSERT_TRUE(heard(before + 1)) << url;
    EXPECT_TRUE(listener_.heard.back().starts_with("versions failed")) << listener_.heard.back();
    EXPECT_TRUE(versions().lastChecked()) << url;
  }
}

TEST_F(RemoteChecks, TheRatingProbeCountsAnyAnswerOfAnySize) {
  // A large page announces its length before the answer is seen; an unknown one is a 404.
  server_.route("/large", {200, std::string(std::size_t{8} * 1024 * 1024, 'x')});
  for (const char* page : {"/large", "/unknown"}) {
    std::size_t before = listener_.heard.size();
    iRate::sharedInstance().setProbeURL(server_.url(page));
    iRate::sharedInstance().promptIfNetworkAvailable();
    ASSERT_TRUE(heard(before + 1)) << page;
    EXPECT_EQ(listener_.heard.back(), "rating prompt") << page;
  }
}

TEST_F(RemoteChecks, OverlappingChecksRunOneAfterTheOther) {
  server_.route(
      "/slow",
      {200, "<plist version=\"1.0\"><dict><key>2.0</key><array/></dict></plist>", {}, 0.5});
  versions().setRemoteVersionsPlistURL(server_.url("/slow"));
  versions().checkForNewVersion();
  versions().checkForNewVersion();
  ASSERT_TRUE(heard(2));
  EXPECT_EQ(listener_.heard, (std::vector<std::string>{"new version 2.0", "new version 2.0"}));
  EXPECT_EQ(server_.requestCount("/slow"), 2u);
}

TEST_F(RemoteChecks, QuittingDoesNotWaitForACheckInFlight) {
  server_.route("/hang", {.hang = true});
  versions().setRemoteVersionsPlistURL(server_.url("/hang"));
  notices().setNotificationsPlistURL(server_.url("/hang"));
  versions().checkForNewVersion();
  notices().checkForNotifications();
  ASSERT_TRUE(pumpUntil([&] { return server_.requestCount("/hang") == 2; }, 60));
  auto started = std::chrono::steady_clock::now();
  ApplicationContext::uninstall();
  // Far below the checks' own time limit: the downloads were cancelled, not waited out.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_TRUE(listener_.heard.empty());
}

}  // namespace
}  // namespace tumbla
