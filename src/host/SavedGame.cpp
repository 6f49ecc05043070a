#include "host/SavedGame.h"

#include "host/SaveProblemAlert.h"
#include "host/TumblaViewController.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

constexpr const char* kGameStateFile = "gamestate.json";

std::string keptAs(const Result<std::filesystem::path>& aside) {
  return aside ? aside->string() : "it was: " + aside.reason();
}

}  // namespace

std::string SavedGame::path() {
  return TumblaViewController::dataFilePath(kGameStateFile);
}

std::optional<std::string> SavedGame::load() {
  Storage& files = Platform::shared().storage();
  std::string file = path();
  if (!files.fileExists(file)) return std::nullopt;
  Result<std::string> text = files.readFile(file);
  if (!text) {
    // The file stays as it is until the page hands over a state of its own.
    logLine("the saved game can't be read (" + text.reason() + "); starting a new game");
    return std::nullopt;
  }
  if (isValidUtf8(*text)) {
    onDisk_ = *text;
    return std::move(*text);
  }
  // The page could not make sense of it either; start afresh but keep the old file.
  Result<std::filesystem::path> aside = files.keepAside(file, "invalid-utf8");
  logLine("the saved game " + file + " is not UTF-8 text; starting a new game (kept as " +
          keptAs(aside) + ")");
  return std::nullopt;
}

void SavedGame::keepAsideRejected() {
  onDisk_.reset();
  std::string file = path();
  Result<std::filesystem::path> aside = Platform::shared().storage().keepAside(file, "rejected");
  logLine("the page could not start from the saved game " + file +
          "; starting a new game (kept as " + keptAs(aside) + ")");
}

void SavedGame::save(const Result<std::string>& pageAnswer) {
  if (!pageAnswer) {
    saved_ = false;
    logLine("the game was not saved: the page did not answer Tumbla.saveGameState() (" +
            pageAnswer.reason() + ")");
    return;
  }
  // An empty answer is the page's way of keeping the earlier save; the file may already
  // hold this very state (the exit saves on going to the background and again at the end).
  saved_ = true;
  if (pageAnswer->empty() || onDisk_ == *pageAnswer) return;
  Status written = Platform::shared().storage().writeFileAtomically(path(), *pageAnswer);
  saved_ = written.ok();
  if (written) {
    onDisk_ = *pageAnswer;
  } else {
    // The failed write may have left the file as it was or not; the next save writes.
    onDisk_.reset();
    saveProblems_.report(written.reason());
  }
}

}  // namespace tumbla
