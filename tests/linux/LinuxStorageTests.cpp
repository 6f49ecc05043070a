#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/linux/LinuxStorage.h"
#include "support/OrdinaryUser.h"

namespace tumbla {
namespace {

namespace fs = std::filesystem;

class LinuxStorageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tumbla-files-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(root, fs::perms::owner_all, error);
    fs::remove_all(root, error);
  }
  fs::path write(const std::string& name, const std::string& text) {
    std::ofstream(root / name, std::ios::binary) << text;
    return root / name;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(root)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    return found;
  }

  fs::path root;
  LinuxStorage files{"/nonexistent"};
};

TEST_F(LinuxStorageTest, WhatCantBeReadIsAFailureWithItsReasonNeverAnExceptionOrAWait) {
  fs::create_directory(root / "gamestate.json");
  Result<std::string> directory = files.readFile(root / "gamestate.json");
  ASSERT_FALSE(directory);
  EXPECT_NE(directory.reason().find("is a directory"), std::string::npos) << directory.reason();
  EXPECT_EQ(directory.code(), EISDIR);

  // A FIFO without a writer would block a plain open for ever.
  ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
  Result<std::string> fifo = files.readFile(root / "fifo");
  ASSERT_FALSE(fifo);
  EXPECT_NE(fifo.reason().find("not a regular file"), std::string::npos) << fifo.reason();

  Result<std::string> missing = files.readFile(root / "vanished");
  ASSERT_FALSE(missing);
  // The system's reason, in the player's language.
  EXPECT_NE(missing.reason().find(std::strerror(ENOENT)), std::string::npos) << missing.reason();
  EXPECT_EQ(missing.code(), ENOENT);
  EXPECT_EQ(files.keepAside(root / "vanished", "corrupt").code(), ENOENT);

  // The kernel answers reads of unmapped process memory with an I/O error.
  Result<std::string> ioError = files.readFile("/proc/self/mem");
  ASSERT_FALSE(ioError);
  EXPECT_NE(ioError.reason().find(std::strerror(EIO)), std::string::npos) << ioError.reason();
  EXPECT_EQ(ioError.code(), EIO);

  fs::path secret = write("secret", "x");
  fs::permissions(secret, fs::perms::owner_write);
  // Read as a player's process would; the read fails with a reason and does not throw.
  testing::runAsAnOrdinaryUser([&secret] {
    Result<std::string> read = LinuxStorage::readWholeFile(secret);
    EXPECT_FALSE(read);
    EXPECT_FALSE(read.reason().empty());
  });

  fs::path big = write("big", std::string(300'000, 'z'));
  EXPECT_EQ(files.readFile(big).value(), std::string(300'000, 'z'));
  EXPECT_EQ(files.readFile(write("empty", "")).value(), "");
}

TEST_F(LinuxStorageTest, SavesLeaveNoTemporaryFileAndTheFolderHoldsOnlyTheTarget) {
  fs::path target = root / "gamestate.json";
  ASSERT_TRUE(files.writeFileAtomically(target, "one"));
  ASSERT_TRUE(files.writeFileAtomically(target, "two"));
  EXPECT_EQ(names(), std::vector<std::string>{"gamestate.json"});
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0644));

  // A directory in the way is never replaced.
  fs::create_directory(root / "counter");
  EXPECT_EQ(files.writeFileAtomically(root / "counter", "5").code(), EISDIR);
  EXPECT_TRUE(fs::is_directory(root / "counter"));
  EXPECT_EQ(names(), (std::vector<std::string>{"counter", "gamestate.json"}));
}

TEST_F(LinuxStorageTest, ALinkIsWrittenThroughAndOneThatLeadsNowhereIsToldNotSkipped) {
  // The player keeps the real files in a synced folder and links them in.
  fs::create_directory(root / "synced");
  fs::create_directory(root / "data");
  std::ofstream(root / "synced" / "gamestate.json") << "old";
  fs::create_symlink("../synced/gamestate.json", root / "data" / "gamestate.json");
  fs::create_symlink(root / "data" / "gamestate.json", root / "data" / "second-hop.json");
  for (const char* name : {"gamestate.json", "second-hop.json"}) {
    ASSERT_TRUE(files.writeFileAtomically(root / "data" / name, name)) << name;
    EXPECT_TRUE(fs::is_symlink(root / "data" / name)) << name;
    EXPECT_EQ(files.readFile(root / "synced" / "gamestate.json").value(), name);
  }
  // The temporary file was made beside the target, and is gone.
  EXPECT_EQ(fs::directory_iterator(root / "synced")->path().filename(), "gamestate.json");
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "synced"), fs::directory_iterator()), 1);

  // A link to nothing, or in a loop, exists but can't be read: the reader is told why.
  fs::create_symlink(root / "gone" / "x.json", root / "data" / "dangling.json");
  fs::create_symlink(root / "data" / "loop-b", root / "data" / "loop-a");
  fs::create_symlink(root / "data" / "loop-a", root / "data" / "loop-b");
  struct Case {
    const char* name;
    int readError;
  };
  for (Case c : {Case{"dangling.json", ENOENT}, Case{"loop-a", ELOOP}}) {
    EXPECT_TRUE(files.fileExists(root / "data" / c.name)) << c.name;
    EXPECT_EQ(files.readFile(root / "data" / c.name).code(), c.readError) << c.name;
  }
  EXPECT_EQ(files.writeFileAtomically(root / "data" / "loop-a", "x").code(), ELOOP);
  EXPECT_TRUE(fs::is_symlink(root / "data" / "loop-a"));
}

TEST_F(LinuxStorageTest, StartUpRemovesOnlyTheTemporaryFilesOfDeadWriters) {
  // What a save killed mid-write leaves: our marked file, its lock gone with the process.
  write(".gamestate.json.tumbla-save-a1B2c3", std::string(4096, 'x'));
  write(".preferences.plist.tumbla-save-Zz9Yy8", "half");
  // A save still running in another process holds its lock.
  fs::path running = write(".yongHu31.plist.tumbla-save-Q1w2E3", "7");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t holder = ::fork();
  if (holder == 0) {
    int fd = ::open(running.c_str(), O_RDONLY);
    ::flock(fd, LOCK_EX);
    char signal = 1;
    (void)!::write(ready[1], &signal, 1);
    ::pause();
    ::_exit(0);
  }
  char signal = 0;
  ASSERT_EQ(::read(ready[0], &signal, 1), 1);
  // Not ours, or not temporary: the player's own files and kept-aside ones stay.
  write("gamestate.json", "{}");
  write("gamestate.json.invalid-utf8-20260101T000000Z", "\xff");
  write("notes.tumbla-save-abcdef", "visible, so not one of ours");
  write(".hidden.tumbla-save-toolong1", "wrong length of random part");

  EXPECT_EQ(LinuxStorage::removeStaleTemporaryFiles(root), 2);
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  EXPECT_EQ(names(), (std::vector<std::string>{
                         ".hidden.tumbla-save-toolong1", ".yongHu31.plist.tumbla-save-Q1w2E3",
                         "gamestate.json", "gamestate.json.invalid-utf8-20260101T000000Z",
                         "notes.tumbla-save-abcdef"}));
  // Its writer gone, the last one goes too.
  EXPECT_EQ(LinuxStorage::removeStaleTemporaryFiles(root), 1);
  EXPECT_EQ(LinuxStorage::removeStaleTemporaryFiles(root / "missing"), 0);
}

TEST_F(LinuxStorageTest, KillingAWriterMidSaveLeavesTheOldOrTheNewFileWholeAndNothingElse) {
  fs::path target = root / "gamestate.json";
  const std::string versions[] = {std::string(2'000'000, 'a'), std::string(3'000'000, 'b')};
  ASSERT_TRUE(files.writeFileAtomically(target, versions[0]));
  for (int round = 0; round < 40; ++round) {
    int started[2];
    ASSERT_EQ(::pipe(started), 0);
    pid_t writer = ::fork();
    if (writer == 0) {
      char signal = 1;
      (void)!::write(started[1], &signal, 1);
      for (int i = 0;; ++i) (void)files.writeFileAtomically(target, versions[i % 2]);
    }
    char signal = 0;
    ASSERT_EQ(::read(started[0], &signal, 1), 1);
    ::close(started[0]);
    ::close(started[1]);
    // Spread the kills over the phases of a save: writing, syncing, renaming.
    ::usleep(static_cast<useconds_t>(1000 + (round * 7919) % 40000));
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);

    std::string now = files.readFile(target).value();
    ASSERT_TRUE(now == versions[0] || now == versions[1])
        << "round " << round << ": " << now.size() << " bytes";
    (void)LinuxStorage::removeStaleTemporaryFiles(root);
    ASSERT_EQ(names(), std::vector<std::string>{"gamestate.json"}) << "round " << round;
  }
}

}  // namespace
}  // namespace tumbla
