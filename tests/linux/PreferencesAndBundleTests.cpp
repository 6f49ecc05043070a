#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "platform/linux/DirectoryBundle.h"
#include "platform/linux/LinuxStorage.h"
#include "platform/linux/PlistPreferencesStore.h"
#include "support/OrdinaryUser.h"

namespace tumbla {
namespace {

using testing::CapturedLog;
using testing::TemporaryDirectory;

// The stores write through the real storage, as the platform's do.
LinuxStorage storage{"/nonexistent"};

std::vector<std::filesystem::path> filesIn(const std::filesystem::path& directory) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    files.push_back(entry.path().filename());
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(PlistPreferencesStore, WhatIsSavedLoadsBackInAFreshStore) {
  TemporaryDirectory directory;
  std::filesystem::path file = directory.path() / "config" / "preferences.plist";
  Dictionary preferences{{"theme", Value::integer(2)},
                         {"soundEnabled", Value::boolean(false)},
                         {"unsentScores", Value(Array{Value("a"), Value::integer(5)})}};
  PlistPreferencesStore first(storage, file);
  EXPECT_TRUE(first.load().empty());
  ASSERT_TRUE(first.save(preferences));

  PlistPreferencesStore second(storage, file);
  EXPECT_EQ(second.load(), preferences);
  // Written whole through a temporary that is gone afterwards; readable as XML.
  EXPECT_EQ(filesIn(file.parent_path()), std::vector<std::filesystem::path>{"preferences.plist"});
  EXPECT_EQ(LinuxStorage::readWholeFile(file)->rfind("<?xml", 0), 0u);
}

TEST(PlistPreferencesStore, ACorruptFileIsKeptAsideAndTheStoreStartsEmpty) {
  for (std::string corrupt :
       {"{ not a plist", "", "<?xml version=\"1.0\"?><plist><array/></plist>"}) {
    TemporaryDirectory directory;
    std::filesystem::path file = directory.write("preferences.plist", corrupt);
    CapturedLog log;
    PlistPreferencesStore store(storage, file);
    EXPECT_TRUE(store.load().empty()) << corrupt;

    std::vector<std::filesystem::path> files = filesIn(directory.path());
    ASSERT_EQ(files.size(), 1u) << corrupt;
    EXPECT_EQ(files[0].string().rfind("preferences.plist.corrupt-", 0), 0u);
    EXPECT_EQ(LinuxStorage::readWholeFile(directory.path() / files[0]).value(), corrupt);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(file.string()), std::string::npos);
    EXPECT_NE(log.lines()[0].find(files[0].string()), std::string::npos);

    // The next save starts a good file; the kept one stays.
    EXPECT_TRUE(store.save({{"theme", Value::integer(1)}}));
    EXPECT_EQ(filesIn(directory.path()).size(), 2u);
  }
}

// As root the folder's permissions would not stop the move.
TEST(PlistPreferencesStore, AFileThatCantBeMovedAsideIsNeverOverwritten) {
  testing::runAsAnOrdinaryUser([] {
    TemporaryDirectory directory;
    std::filesystem::path file = directory.write("preferences.plist", "corrupt");
    std::filesystem::permissions(
        directory.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    CapturedLog log;
    PlistPreferencesStore store(storage, file);
    EXPECT_TRUE(store.load().empty());
    EXPECT_FALSE(store.save({{"theme", Value::integer(1)}}));
    std::filesystem::permissions(directory.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(LinuxStorage::readWholeFile(file).value(), "corrupt");
    EXPECT_EQ(log.lines().size(), 1u);
  });
}

TEST(PlistPreferencesStore, AFileThatCantBeReadIsLeftAloneAndNeverSavedOver) {
  for (bool fifo : {false, true}) {
    TemporaryDirectory directory;
    std::filesystem::path file = directory.path() / "preferences.plist";
    if (fifo) {
      ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    } else {
      std::filesystem::create_directory(file);
    }
    CapturedLog log;
    PlistPreferencesStore store(storage, file);
    EXPECT_TRUE(store.load().empty());
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find(file.string()), std::string::npos) << log.lines()[0];
    EXPECT_FALSE(store.save({{"theme", Value::integer(1)}}));
    // Not renamed as if corrupt, not replaced.
    EXPECT_EQ(filesIn(directory.path()), std::vector<std::filesystem::path>{"preferences.plist"});
    EXPECT_EQ(fifo ? std::filesystem::is_fifo(file) : std::filesystem::is_directory(file), true);
  }
}

TEST(PlistPreferencesStore, AFailedSaveSaysWhyAndKeepsTheOldFile) {
  TemporaryDirectory directory;
  std::filesystem::path file = directory.path() / "preferences.plist";
  PlistPreferencesStore store(storage, file);
  ASSERT_TRUE(store.save({{"theme", Value::integer(1)}}));
  // A directory where the temporary file would go makes the write fail.
  std::filesystem::path blocked = directory.path() / "blocked" / "preferences.plist";
  std::filesystem::create_directories(blocked);
  Status saved = PlistPreferencesStore(storage, blocked).save({{"theme", Value::integer(2)}});
  ASSERT_FALSE(saved);
  EXPECT_NE(saved.reason().find(blocked.string()), std::string::npos) << saved.reason();
  EXPECT_EQ(PlistPreferencesStore(storage, file).load(),
            (Dictionary{{"theme", Value::integer(1)}}));
}

class DirectoryBundleTest : public ::testing::Test {
 protected:
  Result<std::unique_ptr<DirectoryBundle>> open() {
    return DirectoryBundle::open(directory_.path(), lists_);
  }
  std::string errorOf(const Result<std::unique_ptr<DirectoryBundle>>& opened) {
    return opened ? "" : opened.reason();
  }

  TemporaryDirectory directory_;
  LibplistPropertyLists lists_;
};

TEST_F(DirectoryBundleTest, ReadsTheInformationDictionaryAndFindsResources) {
  directory_.write("Info.plist",
                   "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>HTML</key>"
                   "<string>index</string></dict></plist>");
  directory_.write("index.html", "<html/>");
  directory_.write("Default.png", "png");
  directory_.write("sounds/pop.caf", "caf");
  auto opened = open();
  ASSERT_EQ(errorOf(opened), "");
  const DirectoryBundle& bundle = **opened;

  EXPECT_EQ(*bundle.objectForInfoDictionaryKey("HTML"), Value("index"));
  EXPECT_EQ(bundle.objectForInfoDictionaryKey("UILaunchImageFile"), nullptr);
  EXPECT_EQ(bundle.pathForResource("index", "html"), (directory_.path() / "index.html").string());
  EXPECT_EQ(bundle.pathForResource("Default.png", ""),
            (directory_.path() / "Default.png").string());
  EXPECT_EQ(bundle.pathForResource("sounds/pop", "caf"),
            (directory_.path() / "sounds/pop.caf").string());
  EXPECT_EQ(bundle.pathForResource("index~ipad", "html"), std::nullopt);
  EXPECT_EQ(bundle.pathForResource("sounds", ""), std::nullopt);
  EXPECT_EQ(bundle.pathForResource("../outside", "html"), std::nullopt);
  EXPECT_EQ(bundle.pathForResource("", ""), std::nullopt);
}

TEST_F(DirectoryBundleTest, SaysWhatIsWrongWithABundleThatCantBeUsed) {
  EXPECT_NE(errorOf(DirectoryBundle::open(directory_.path() / "nowhere", lists_)).find("nowhere"),
            std::string::npos);
  EXPECT_NE(errorOf(open()).find("Info.plist"), std::string::npos);
  directory_.write("Info.plist", "<?xml version=\"1.0\"?><plist><array/></plist>");
  EXPECT_NE(errorOf(open()).find("not a property-list dictionary"), std::string::npos);
  directory_.write("Info.plist", "garbage");
  EXPECT_NE(errorOf(open()).find("not a property-list dictionary"), std::string::npos);
}

}  // namespace
}  // namespace tumbla
