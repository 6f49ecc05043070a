#include <gtest/gtest.h>

#include "PromptFixture.h"
#include "prompts/iVersion.h"

namespace tumbla {
namespace {

using testing::strings;

constexpr const char* kRemote = "http://lists.test/versions.plist";

class RecordingVersionDelegate : public iVersionDelegate {
 public:
  bool respondsTo(Optional operation) const override {
    return operation != Optional::ShouldCheckForNewVersion;
  }
  void iVersionVersionCheckFailed(const std::optional<Error>& error) override {
    failures.push_back(error ? error->localizedDescription : "(none)");
  }
  void iVersionDetectedNewVersion(const std::string& version, const std::string&) override {
    detected.push_back(version);
  }
  bool iVersionShouldDisplayNewVersion(const std::string& version,
                                       const std::string& details) override {
    shown.push_back(version + "|" + details);
    return showNative;
  }
  bool iVersionShouldDisplayCurrentVersionDetails(const std::string& details) override {
    shown.push_back("local|" + details);
    return showNative;
  }

  bool showNative = true;
  std::vector<std::string> failures;
  std::vector<std::string> detected;
  std::vector<std::string> shown;
};

class VersionPrompts : public testing::PromptFixture {
 protected:
  void SetUp() override {
    PromptFixture::SetUp();
    Dictionary shipped{
        {"1.0", strings({"First"})}, {"1.1", strings({"A"})}, {"1.2", strings({"B", "C"})}};
    platform->simBundle().addResource("versions.plist", plistBytes(shipped));
    versions().setLocalVersionsPlistPath("versions.plist");
    versions().setDelegate(&delegate);
  }
  void TearDown() override {
    versions().setDelegate(nullptr);
    PromptFixture::TearDown();
  }
  iVersion& versions() { return iVersion::sharedInstance(); }

  RecordingVersionDelegate delegate;
};

TEST_F(VersionPrompts, NotesOfEveryVersionSinceTheLastSeenNewestFirst) {
  Dictionary list = *versions().localVersionsDict();
  EXPECT_EQ(versions().versionDetailsSince("1.0", list),
            "Version 1.2\n\nB\n\nC\n\nVersion 1.1\n\nA");
  versions().setGroupNotesByVersion(false);
  EXPECT_EQ(versions().versionDetailsSince("1.0", list), "B\n\nC\n\nA");
  EXPECT_EQ(versions().versionDetailsSince("1.2", list), std::nullopt);
  EXPECT_EQ(versions().versionDetailsSince(std::nullopt, list), "B\n\nC\n\nA\n\nFirst");
  versions().setLocalDebug(true);
  EXPECT_EQ(versions().versionDetailsSince("1.2", list), "B\n\nC\n\nA\n\nFirst");
  EXPECT_EQ(iVersion::mostRecentVersionInDict(list), "1.2");
  EXPECT_EQ(iVersion::mostRecentVersionInDict(Dictionary{}), std::nullopt);
  Dictionary breaks{{"2.0", strings({"\n\u2028line\r\n"})}};
  EXPECT_EQ(versions().versionDetailsSince("1.0", breaks), "line");
}

TEST_F(VersionPrompts, TheFirstLaunchCountsAsSeenAndAnUpdateShowsItsNotesOnce) {
  versions().setRemoteChecksDisabled(true);
  launch();
  EXPECT_EQ(*stored("iVersionLastVersionChecked"), Value("1.0"));
  EXPECT_TRUE(delegate.shown.empty());

  versions().setApplicationVersion("1.2");
  versions().setGroupNotesByVersion(false);
  versions().setLastReminded(platform->runLoop().now());
  launch();
  EXPECT_FALSE(versions().lastReminded());
  ASSERT_EQ(delegate.shown, std::vector<std::string>{"local|B\n\nC\n\nA"});
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].title, "New in this version");
  EXPECT_EQ(alerts()[0].buttons, std::vector<std::string>{"OK"});
  platform->userInterface().answerAlert(0);
  EXPECT_TRUE(versions().viewedVersionDetails());

  launch();  // the same version again: nothing
  EXPECT_EQ(delegate.shown.size(), 1u);
}

TEST_F(VersionPrompts, ARemoteListWithANewerVersionIsOfferedUnlessIgnored) {
  versions().setLocalChecksDisabled(true);
  versions().setRemoteVersionsPlistURL(kRemote);
  versions().setAppStoreID(42);
  serve(kRemote, plistBytes(Dictionary{{"1.0", strings({"old"})},
                                       {"1.25", strings({"Faster", "New levels"})}}));
  launch();
  EXPECT_EQ(delegate.detected, std::vector<std::string>{"1.25"});
  ASSERT_EQ(delegate.shown, std::vector<std::string>{"1.25|Version 1.25\n\nFaster\n\nNew levels"});
  EXPECT_EQ(versions().lastChecked(), platform->runLoop().now());
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0].title, "A new version of Tumbla is available to download");
  EXPECT_EQ(alerts()[0].buttons,
            (std::vector<std::string>{"Ignore", "Download", "Remind Me Later"}));

  platform->userInterface().answerAlert(1);  // Download
  ASSERT_EQ(opened().size(), 1u);
  EXPECT_EQ(opened()[0].absoluteString(), "https://itunes.apple.com/app/id42");

  // Within the check period nothing is asked; after it, the list is read again.
  returnToForeground();
  EXPECT_EQ(platform->urlLoader().requestCount(kRemote), 1u);
  daysPass(0.5);
  returnToForeground();
  EXPECT_EQ(platform->urlLoader().requestCount(kRemote), 2u);
  platform->userInterface().answerAlert(0);  // Ignore
  EXPECT_EQ(versions().ignoredVersion(), "1.25");

  daysPass(0.5);
  returnToForeground();
  EXPECT_EQ(delegate.detected.size(), 3u);  // still detected, but no longer offered
  EXPECT_EQ(delegate.shown.size(), 2u);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(VersionPrompts, AReminderHoldsChecksBackForTheRemindPeriod) {
  versions().setLocalChecksDisabled(true);
  versions().setRemoteVersionsPlistURL(kRemote);
  serve(kRemote, plistBytes(Dictionary{{"2.0", strings({"new"})}}));
  launch();
  platform->userInterface().answerAlert(2);
  EXPECT_EQ(versions().lastReminded(), platform->runLoop().now());
  daysPass(0.9);
  EXPECT_FALSE(
      versions().shouldCheckForNewVersion());  // the check period passed, the reminder's not
  daysPass(0.1);
  EXPECT_TRUE(versions().shouldCheckForNewVersion());
}

TEST_F(VersionPrompts, ListsThatBreakTheFormatAreFailedChecksThatStillCount) {
  versions().setLocalChecksDisabled(true);
  versions().setRemoteVersionsPlistURL(kRemote);
  // Each list fails for its own reason; a list is read up to 4 MB, and not a byte more.
  const std::pair<std::string, const char*> cases[] = {
      {plistBytes(Value(strings({"1.0", "2.0"}))), "not a dictionary"},
      {plistBytes(Dictionary{{"2.0", Value("not a list")}}), "not a list"},
      {plistBytes(Dictionary{{"2.0", Value(Array{Value::integer(3)})}}), "not text"},
      {std::string("\x00\xff garbage", 10), "not a property list"},
      {std::string(std::size_t{4} * 1024 * 1024, '<'), "not a property list"},
      {std::string(std::size_t{4} * 1024 * 1024 + 1, '<'), "larger than"},
  };
  for (const auto& [body, reason] : cases) {
    SCOPED_TRACE(reason);
    serve(kRemote, body);
    versions().setLastChecked(std::nullopt);
    versions().checkForNewVersion();
    platform->runLoop().runPendingTasks();
    EXPECT_EQ(versions().lastChecked(), platform->runLoop().now());
    EXPECT_FALSE(versions().remoteVersionsDict());
    ASSERT_TRUE(versions().downloadError());
    EXPECT_NE(versions().downloadError()->localizedDescription.find(reason), std::string::npos)
        << versions().downloadError()->localizedDescription;
  }
  EXPECT_EQ(delegate.failures.size(), std::size(cases));
  EXPECT_TRUE(delegate.shown.empty());
  EXPECT_TRUE(alerts().empty());

  // An absent address changes nothing; the empty one is tried and fails.
  versions().setLastChecked(std::nullopt);
  versions().setRemoteVersionsPlistURL(std::nullopt);
  versions().checkForNewVersion();
  platform->runLoop().runPendingTasks();
  EXPECT_FALSE(versions().lastChecked());
  versions().setRemoteVersionsPlistURL("");
  versions().checkForNewVersion();
  platform->runLoop().runPendingTasks();
  EXPECT_TRUE(versions().lastChecked());
}

}  // namespace
}  // namespace tumbla
