#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "bridge/QueryParams.h"
#include "platform/Log.h"
#include "prompts/PromptStore.h"
#include "unit/host/HostFixture.h"

namespace tumbla::testing {
namespace {

using Scripts = std::vector<std::string>;

class LifecycleTest : public HostFixture {
 protected:
  void sendSettings(const char* query) {
    ASSERT_FALSE(
        webView().navigate(*Url::parse(std::string("tumbla://settings.prismora/update?") + query)));
  }
  UserDefaults& defaults() { return platform->userDefaults(); }
  void failOn(const std::string& path, SimStorage::Operation operation, int error) {
    platform->simStorage().failOn(path, operation, error);
  }
};

TEST_F(LifecycleTest, SettingsSwitchesCountAsOnWheneverTheyAreNamed) {
  launchAndLoad();
  sendSettings("soundEnabled=0&theme=abc&pauseButton=3x");
  EXPECT_TRUE(defaults().boolForKey("soundEnabled"));
  EXPECT_FALSE(defaults().boolForKey("musicEnabled"));
  EXPECT_FALSE(defaults().boolForKey("shakeToUndo"));
  EXPECT_EQ(defaults().integerForKey("theme"), 0);
  EXPECT_EQ(defaults().integerForKey("pauseButton"), 3);

  // A bare name counts as named.
  sendSettings("musicEnabled=no&shakeToUndo&theme=2");
  EXPECT_FALSE(defaults().boolForKey("soundEnabled"));
  EXPECT_TRUE(defaults().boolForKey("musicEnabled"));
  EXPECT_TRUE(defaults().boolForKey("shakeToUndo"));
  EXPECT_EQ(defaults().integerForKey("theme"), 2);

  // Each switch follows its own name only.
  struct Case {
    const char* query;
    bool sound, music, shake;
  };
  for (Case c :
       {Case{"musicEnabled=1", false, true, false}, Case{"shakeToUndo=0", false, false, true},
        Case{"soundEnabled=1&shakeToUndo=1", true, false, true}}) {
    sendSettings(c.query);
    EXPECT_EQ(defaults().boolForKey("soundEnabled"), c.sound) << c.query;
    EXPECT_EQ(defaults().boolForKey("musicEnabled"), c.music) << c.query;
    EXPECT_EQ(defaults().boolForKey("shakeToUndo"), c.shake) << c.query;
  }
}

TEST_F(LifecycleTest, SettingsChangedOutsideTheGameArePushedOnReturnAndSurviveItsSaves) {
  launchAndLoad();
  sendSettings("theme=1&pauseButton=2&soundEnabled=0");
  platform->application().send(LifecycleEvent::DidEnterBackground);

  // Another program edits the stored settings while the game is in the background.
  auto stored = platform->storedPreferences();
  stored->stored.set("theme", Value::integer(5));
  stored->stored.set("resetScores", Value::boolean(true));
  webView().clearScripts();
  platform->application().send(LifecycleEvent::WillEnterForeground);
  EXPECT_EQ(scripts(),
            (Scripts{"Tumbla.setPauseCorner(2)", "Tumbla.setSoundEnabled(1)",
                     "Tumbla.setMusicEnabled(0)", "Tumbla.resetScores()", "Tumbla.setTheme(5)",
                     "Tumbla.setShakeToUndo(0)", "Tumbla.resume(1)"}));

  // The game's next save keeps the outside edit and writes its own change.
  stored->stored.set("pauseButton", Value::integer(4));
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_EQ(stored->stored.find("theme")->toInteger(), 5);
  EXPECT_EQ(stored->stored.find("pauseButton")->toInteger(), 4);
  EXPECT_FALSE(stored->stored.find("resetScores")->toBoolean().value_or(true));
}

TEST_F(LifecycleTest, NewSettingsReachStorageOnlyWhenTheHostSaves) {
  launchAndLoad();
  int savesBefore = platform->storedPreferences()->saveCount;
  sendSettings("theme=4");
  EXPECT_EQ(platform->storedPreferences()->saveCount, savesBefore);
  EXPECT_EQ(platform->storedPreferences()->stored.find("theme"), nullptr);
  webView().clearScripts();
  platform->application().send(LifecycleEvent::DidEnterBackground);
  const Value* stored = platform->storedPreferences()->stored.find("theme");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->toInteger(), 4);
  EXPECT_NE(platform->storedPreferences()->stored.find("unsentScores"), nullptr);
}

TEST_F(LifecycleTest, SettingsStoredByThePageArePushedAgainAfterARestart) {
  launchAndLoad();
  sendSettings("theme=3&pauseButton=2&soundEnabled=1");
  platform->application().send(LifecycleEvent::WillTerminate);
  auto stored = platform->storedPreferences();

  install(stored);
  launchAndLoad();
  EXPECT_EQ(scripts(), (Scripts{"Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()",
                                "Tumbla.setPauseCorner(2)", "Tumbla.setSoundEnabled(1)",
                                "Tumbla.setMusicEnabled(0)", "Tumbla.setTheme(3)",
                                "Tumbla.setShakeToUndo(0)"}));
}

TEST_F(LifecycleTest, ScoreResetIsPushedOnceThenCleared) {
  defaults().setBool("resetScores", true);
  launchAndLoad();
  EXPECT_EQ(scripts(), (Scripts{"Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()",
                                "Tumbla.setPauseCorner(1)", "Tumbla.setSoundEnabled(1)",
                                "Tumbla.setMusicEnabled(1)", "Tumbla.resetScores()",
                                "Tumbla.setTheme(0)", "Tumbla.setShakeToUndo(1)"}));
  EXPECT_FALSE(defaults().boolForKey("resetScores"));
  webView().clearScripts();
  controller().loadSettings();
  EXPECT_EQ(std::count(scripts().begin(), scripts().end(), "Tumbla.resetScores()"), 0);
}

TEST_F(LifecycleTest, GameIsSavedOnlyWhenThePageAnswers) {
  launchAndLoad();
  webView().setAnswer("Tumbla.saveGameState()", R"({"level":3})");
  platform->application().send(LifecycleEvent::DidEnterBackground);
  EXPECT_EQ(readDocument("gamestate.json"), R"({"level":3})");

  webView().setAnswer("Tumbla.saveGameState()", "");
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_EQ(readDocument("gamestate.json"), R"({"level":3})");

  webView().setAnswer("Tumbla.saveGameState()", std::nullopt);
  platform->application().send(LifecycleEvent::DidEnterBackground);
  EXPECT_EQ(readDocument("gamestate.json"), R"({"level":3})");
}

TEST_F(LifecycleTest, SavedGameComesBackOnTheNextRun) {
  launchAndLoad();
  webView().setAnswer("Tumbla.saveGameState()", R"({"score":1200})");
  platform->application().send(LifecycleEvent::WillTerminate);
  // Same documents folder, new host.
  delegate.reset();
  launchAndLoad();
  EXPECT_EQ(scripts()[1], R"(Tumbla.initWithGameState({"score":1200}))");
}

TEST_F(LifecycleTest, GameIsSavedWhenFocusIsLostAndEveryFewMinutesOfPlay) {
  launchAndLoad();
  SimApplication& app = platform->application();
  app.send(LifecycleEvent::DidBecomeActive);
  webView().setAnswer("Tumbla.saveGameState()", "move 1");
  platform->runLoop().advance(TumblaViewController::kPeriodicSaveSeconds - 1);
  EXPECT_EQ(readDocument("gamestate.json"), std::nullopt);
  platform->runLoop().advance(1);
  EXPECT_EQ(readDocument("gamestate.json"), "move 1");
  webView().setAnswer("Tumbla.saveGameState()", "move 2");
  platform->runLoop().advance(TumblaViewController::kPeriodicSaveSeconds);
  EXPECT_EQ(readDocument("gamestate.json"), "move 2");

  // Focus lost: one save a moment later, then none until the player is back.
  webView().setAnswer("Tumbla.saveGameState()", "move 3");
  app.send(LifecycleEvent::WillResignActive);
  platform->runLoop().advance(TumblaViewController::kFocusLostSaveDelaySeconds);
  EXPECT_EQ(readDocument("gamestate.json"), "move 3");
  webView().clearScripts();
  platform->runLoop().advance(3 * TumblaViewController::kPeriodicSaveSeconds);
  EXPECT_EQ(scripts(), Scripts{});
  app.send(LifecycleEvent::DidBecomeActive);
  webView().clearScripts();
  platform->runLoop().advance(TumblaViewController::kPeriodicSaveSeconds);
  EXPECT_EQ(scripts(), Scripts{"Tumbla.saveGameState()"});

  // Back at once, or gone to the background (which saves by itself): no extra save.
  for (LifecycleEvent next :
       {LifecycleEvent::DidBecomeActive, LifecycleEvent::DidEnterBackground}) {
    app.send(LifecycleEvent::DidBecomeActive);
    app.send(LifecycleEvent::WillResignActive);
    app.send(next);
    webView().clearScripts();
    platform->runLoop().advance(TumblaViewController::kFocusLostSaveDelaySeconds);
    EXPECT_EQ(scripts(), Scripts{});
  }
}

TEST_F(LifecycleTest, TheHostKnowsWhetherTheLastSaveHappened) {
  launchAndLoad();
  EXPECT_TRUE(controller().gameSaved());
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  webView().setAnswer("Tumbla.saveGameState()", std::nullopt);
  platform->application().send(LifecycleEvent::WillTerminate);
  setLogSink(previous);
  EXPECT_FALSE(controller().gameSaved());
  // The line says why, with the page's own error.
  ASSERT_FALSE(logged.empty());
  EXPECT_NE(logged.back().find(SimWebView::kThrownMessage), std::string::npos) << logged.back();
  webView().setAnswer("Tumbla.saveGameState()", "");
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_TRUE(controller().gameSaved());
  webView().setAnswer("Tumbla.saveGameState()", "state");
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_TRUE(controller().gameSaved());

  // A state the file already holds is not written again: the exit's second save of it needs
  // no room on a full disk. A new state is written, and its failure counts.
  platform->simStorage().failOn(documentPath("gamestate.json"), SimStorage::Operation::Write,
                                ENOSPC);
  platform->application().send(LifecycleEvent::DidEnterBackground);
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_TRUE(controller().gameSaved());
  EXPECT_TRUE(platform->userInterface().visibleAlerts().empty());
  webView().setAnswer("Tumbla.saveGameState()", "later state");
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_FALSE(controller().gameSaved());
  EXPECT_EQ(readDocument("gamestate.json"), "state");
}

TEST_F(LifecycleTest, ADocumentsFolderThatCannotBeWrittenIsLoggedWithItsReasonAndToldOnce) {
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  // A file where the documents folder should be: nothing can be written inside it.
  std::string documents = platform->storage().documentsDirectory().string();
  failOn(documents, SimStorage::Operation::Write, ENOTDIR);
  launchAndLoad();
  webView().setAnswer("Tumbla.saveGameState()", "state");
  platform->application().send(LifecycleEvent::DidEnterBackground);
  platform->application().send(LifecycleEvent::WillTerminate);
  setLogSink(previous);

  EXPECT_FALSE(controller().gameSaved());
  ASSERT_FALSE(logged.empty());
  // The system's own words for it, in the player's language.
  const std::string notADirectory = std::strerror(ENOTDIR);
  for (const std::string& line : logged) {
    EXPECT_NE(line.find(notADirectory), std::string::npos) << line;
  }
  std::vector<Alert> alerts = platform->userInterface().visibleAlerts();
  ASSERT_EQ(alerts.size(), 1u);
  EXPECT_NE(alerts[0].message.find(documents), std::string::npos);
  EXPECT_NE(alerts[0].message.find(notADirectory), std::string::npos);
  EXPECT_TRUE(platform->userInterface().answerAlert(0));
  EXPECT_TRUE(platform->userInterface().visibleAlerts().empty());
}

TEST_F(LifecycleTest, ReturnFromBackgroundPushesSettingsThenResumesTwice) {
  // Before the page has loaded there is no game to resume or pause: nothing is called.
  launch();
  SimApplication& app = platform->application();
  app.send(LifecycleEvent::DidBecomeActive);
  app.send(LifecycleEvent::WillResignActive);
  EXPECT_EQ(scripts(), Scripts{});
  webView().finishLoad();
  webView().clearScripts();
  app.send(LifecycleEvent::WillResignActive);
  EXPECT_EQ(scripts(), Scripts{"Tumbla.pause(false)"});
  webView().clearScripts();
  app.send(LifecycleEvent::WillEnterForeground);
  app.send(LifecycleEvent::DidBecomeActive);
  Scripts expected{"Tumbla.setPauseCorner(1)",  "Tumbla.setSoundEnabled(1)",
                   "Tumbla.setMusicEnabled(1)", "Tumbla.setTheme(0)",
                   "Tumbla.setShakeToUndo(1)",  "Tumbla.resume(1)",
                   "Tumbla.resume(0)"};
  EXPECT_EQ(scripts(), expected);
}

TEST_F(LifecycleTest, ShakeUndoesOnlyWhenThePlayerWantsIt) {
  launchAndLoad();
  webView().clearScripts();
  Window& window = *delegate->window();
  window.motionEnded({EventType::Motion, EventSubtype::MotionShake});
  EXPECT_EQ(scripts(), Scripts{"Tumbla.undo()"});

  webView().clearScripts();
  window.motionEnded({EventType::Motion, EventSubtype::None});
  window.motionEnded({EventType::Touches, EventSubtype::MotionShake});
  EXPECT_EQ(scripts(), Scripts{});

  defaults().setBool("shakeToUndo", false);
  window.motionEnded({EventType::Motion, EventSubtype::MotionShake});
  EXPECT_EQ(scripts(), Scripts{});
}

TEST_F(LifecycleTest, CounterFilesAreMadeOnFirstStartAndKeptUpToDate) {
  launch();
  EXPECT_EQ(readDocument("yongHu31.plist"), "1");
  EXPECT_EQ(readDocument("facebook2.plist"), "0");
  EXPECT_EQ(controller().intValue(), 1);

  // The start's activation counts; the keyboard focus coming back is no activation, a
  // return from minimised is.
  platform->application().send(LifecycleEvent::DidBecomeActive);
  platform->application().send(LifecycleEvent::DidBecomeActive);
  EXPECT_EQ(controller().intValue(), 2);
  platform->application().send(LifecycleEvent::WillEnterForeground);
  platform->application().send(LifecycleEvent::DidBecomeActive);
  platform->application().send(LifecycleEvent::DidEnterBackground);
  EXPECT_EQ(readDocument("yongHu31.plist"), "3");
}

TEST_F(LifecycleTest, EnteringTheBackgroundWritesBothCounters) {
  writeDocument("yongHu31.plist", "7");
  writeDocument("facebook2.plist", "5");
  launch();
  // Whatever happened to the files meanwhile, the counters in memory are written back.
  writeDocument("yongHu31.plist", "x");
  writeDocument("facebook2.plist", "x");
  platform->application().send(LifecycleEvent::DidEnterBackground);
  EXPECT_EQ(readDocument("yongHu31.plist"), "7");
  EXPECT_EQ(readDocument("facebook2.plist"), "5");
}

TEST_F(LifecycleTest, CounterFilesAreReadByTheirLeadingNumber) {
  writeDocument("yongHu31.plist", "12");
  writeDocument("facebook2.plist", "");
  launch();
  EXPECT_EQ(controller().intValue(), 12);
  EXPECT_EQ(controller().intFB(), 0);
  EXPECT_EQ(readDocument("facebook2.plist"), "0");

  install();
  writeDocument("yongHu31.plist", "seven");
  writeDocument("facebook2.plist", "-4 uploads");
  launch();
  EXPECT_EQ(controller().intValue(), 0);
  EXPECT_EQ(controller().intFB(), -4);
}

// What a player may find in the data folder instead of a file: each start still works,
// says once what it could not read, and keeps what it could not read until it has
// something new to put there.
TEST_F(LifecycleTest, UnreadableDataFilesCountAsAbsentAndAreNotOverwrittenAtStart) {
  for (auto [name, error] : {std::pair{"gamestate.json", EISDIR},
                             {"yongHu31.plist", EIO},
                             {"facebook2.plist", EACCES}}) {
    writeDocument(name, "5");
    failOn(documentPath(name), SimStorage::Operation::Read, error);
  }

  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  launchAndLoad();
  setLogSink(previous);

  EXPECT_EQ(scripts()[1], "Tumbla.init()");
  EXPECT_EQ(controller().intValue(), 1);
  EXPECT_EQ(controller().intFB(), 0);
  ASSERT_EQ(logged.size(), 3u);
  for (const char* name : {"gamestate.json", "yongHu31.plist", "facebook2.plist"}) {
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [&](const std::string& line) {
                              return line.find(documentPath(name)) != std::string::npos;
                            }),
              1)
        << name;
  }

  // Entering the background writes the counters the session has over what it could not
  // read; the saved game waits for the page's next state.
  webView().setAnswer("Tumbla.saveGameState()", "");
  platform->application().send(LifecycleEvent::DidBecomeActive);
  platform->application().send(LifecycleEvent::DidEnterBackground);
  platform->simStorage().stopFailing();
  EXPECT_EQ(readDocument("yongHu31.plist"), "2");
  EXPECT_EQ(readDocument("facebook2.plist"), "0");
  EXPECT_EQ(readDocument("gamestate.json"), "5");
}

TEST_F(LifecycleTest, CounterAndSettingsFilesThatCantBeWrittenAreLogged) {
  // A directory where a counter file should be: every read and write of it fails.
  writeDocument("facebook2.plist", "");
  failOn(documentPath("facebook2.plist"), SimStorage::Operation::Read, EISDIR);
  failOn(documentPath("facebook2.plist"), SimStorage::Operation::Write, EISDIR);
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  launch();
  failOn(platform->preferencesFile(), SimStorage::Operation::Write, ENOSPC);
  defaults().setInteger("theme", 3);
  platform->application().send(LifecycleEvent::DidEnterBackground);
  setLogSink(previous);

  auto mentions = [&](std::string_view what) {
    return std::count_if(logged.begin(), logged.end(), [&](const std::string& line) {
      return line.find(what) != std::string::npos;
    });
  };
  // Once at start-up (it can't be read), once on entering the background (it can't be
  // written).
  EXPECT_EQ(mentions("facebook2.plist"), 2) << ::testing::PrintToString(logged);
  EXPECT_EQ(mentions("could not write the settings"), 1) << ::testing::PrintToString(logged);
  // The other counter is unharmed.
  EXPECT_EQ(readDocument("yongHu31.plist"), "1");
}

// The game and the rating, version and notice prompts share the settings file: a write
// that fails is said once for each reason in a run, whoever wrote.
TEST_F(LifecycleTest, SettingsThatCantBeWrittenAreSaidOncePerReasonAndRun) {
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) {
    if (line.find("could not write the settings") != std::string_view::npos) {
      logged.emplace_back(line);
    }
  });
  auto failWritesWith = [&](int error) {
    platform->simStorage().stopFailing();
    failOn(platform->preferencesFile(), SimStorage::Operation::Write, error);
  };
  auto playARound = [&](int theme) {
    defaults().setInteger("theme", theme);
    platform->application().send(LifecycleEvent::DidBecomeActive);
    platform->application().send(LifecycleEvent::DidEnterBackground);
  };
  launch();
  failWritesWith(ENOSPC);
  for (int round = 0; round < 3; ++round) playARound(round);
  PromptStore::setString("iRateLastVersion", "1.0");
  ASSERT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);
  EXPECT_NE(logged[0].find(std::strerror(ENOSPC)), std::string::npos) << logged[0];

  // A write that succeeds in between does not make the same reason news again.
  platform->simStorage().stopFailing();
  playARound(3);
  failWritesWith(ENOSPC);
  playARound(4);
  EXPECT_EQ(logged.size(), 1u) << ::testing::PrintToString(logged);

  // Another reason is.
  failWritesWith(EACCES);
  playARound(5);
  PromptStore::setString("iRateLastVersion", "1.1");
  ASSERT_EQ(logged.size(), 2u) << ::testing::PrintToString(logged);
  EXPECT_NE(logged[1].find(std::strerror(EACCES)), std::string::npos) << logged[1];

  // So is the first one in the next run.
  install(platform->storedPreferences());
  launch();
  failWritesWith(ENOSPC);
  playARound(6);
  setLogSink(previous);
  EXPECT_EQ(logged.size(), 3u) << ::testing::PrintToString(logged);
}

}  // namespace
}  // namespace tumbla::testing
