#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

#include "host/ReviewRequest.h"
#include "platform/Log.h"
#include "unit/host/HostFixture.h"

namespace tumbla::testing {
namespace {

// What the player is told when one of the game's files can't be written, for every file
// and every reason a disk gives: the "Progress can't be saved" alert once a run when
// progress is lost, a log line with the system's reason, the exit status's flag, and the
// file's earlier content kept.
class SaveFailureTest : public HostFixture {
 protected:
  struct DataFile {
    const char* name;
    bool progressLost;  // the alert
    bool gameSaved;     // the flag the exit status reports
    int linesPerRun;    // log lines naming the file over two saves and a review
  };

  std::string pathOf(const DataFile& file) {
    return file.name == std::string("preferences.plist") ? platform->preferencesFile().string()
                                                         : documentPath(file.name);
  }
  std::map<std::string, std::string> contentsOf(const std::vector<DataFile>& files) {
    std::map<std::string, std::string> contents;
    for (const DataFile& file : files) {
      contents[file.name] = platform->storage().readFile(pathOf(file)).value();
    }
    return contents;
  }
  // Plays on: the player gives a review, and the game goes to the background twice.
  void playOn() {
    delegate->reviewRequest()->alertforreview();
    // The request shows once the configuration page's answer is in (here: none, at once).
    platform->runLoop().advance(0);
    platform->userInterface().answerAlert(1);
    for (const char* state : {R"({"board":[2]})", R"({"board":[3]})"}) {
      defaults().setInteger("theme", 1 + defaults().integerForKey("theme"));
      webView().setAnswer("Tumbla.saveGameState()", state);
      platform->application().send(LifecycleEvent::DidBecomeActive);
      platform->application().send(LifecycleEvent::DidEnterBackground);
    }
  }
  UserDefaults& defaults() { return platform->userDefaults(); }
};

TEST_F(SaveFailureTest, AFileThatCantBeWrittenIsToldWithItsReasonAndLosesNothing) {
  // A counter is not progress: it is logged as what it is, and the player is not alarmed.
  const std::vector<DataFile> files = {{"gamestate.json", true, false, 2},
                                       {"yongHu31.plist", false, true, 2},
                                       {"facebook2.plist", false, true, 2},
                                       {"preferences.plist", false, true, 1},
                                       {"review31.plist", false, true, 1}};
  for (const DataFile& file : files) {
    for (int error : {ENOSPC, EACCES, EIO, EROFS}) {
      SCOPED_TRACE(std::string(file.name) + ": " + std::strerror(error));
      install();
      writeDocument("review31.plist", "0");
      launchAndLoad();
      // A first save that succeeds: every file has content to lose.
      defaults().setInteger("theme", 1);
      webView().setAnswer("Tumbla.saveGameState()", R"({"board":[1]})");
      platform->application().send(LifecycleEvent::DidEnterBackground);
      std::map<std::string, std::string> earlier = contentsOf(files);
      Dictionary earlierSettings = platform->storedPreferences()->stored;

      std::vector<std::string> logged;
      LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
      platform->simStorage().failOn(pathOf(file), SimStorage::Operation::Write, error);
      playOn();
      setLogSink(previous);

      const std::string reason = std::strerror(error);
      long naming = std::count_if(logged.begin(), logged.end(), [&](const std::string& line) {
        return line.find(pathOf(file)) != std::string::npos;
      });
      EXPECT_EQ(naming, file.linesPerRun) << ::testing::PrintToString(logged);
      for (const std::string& line : logged) {
        if (line.find(pathOf(file)) != std::string::npos) {
          EXPECT_NE(line.find(reason), std::string::npos) << line;
          // Only the game's own file is the game not being saved.
          EXPECT_EQ(line.find("the game was not saved") != std::string::npos,
                    file.name == std::string("gamestate.json"))
              << line;
        }
      }
      std::vector<Alert> alerts;
      for (const Alert& alert : platform->userInterface().visibleAlerts()) {
        if (alert.title == "Progress can't be saved") alerts.push_back(alert);
      }
      ASSERT_EQ(alerts.size(), file.progressLost ? 1u : 0u);
      if (file.progressLost) {
        EXPECT_NE(alerts[0].message.find(reason), std::string::npos) << alerts[0].message;
      }
      EXPECT_EQ(controller().gameSaved(), file.gameSaved);

      platform->simStorage().stopFailing();
      EXPECT_EQ(contentsOf(files)[file.name], earlier[file.name]);
      if (file.name == std::string("preferences.plist")) {
        EXPECT_EQ(platform->storedPreferences()->stored, earlierSettings);
      }
    }
  }
}

}  // namespace
}  // namespace tumbla::testing
