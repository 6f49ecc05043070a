#pragma once

#include <optional>
#include <string>

#include "platform/Result.h"

namespace tumbla {

class SaveProblemAlert;

// The game the page hands over to keep ("gamestate.json" in the documents directory): read
// at start, replaced whole at every save. A file the page can't use is kept aside beside
// it, never deleted.
class SavedGame {
 public:
  explicit SavedGame(SaveProblemAlert& saveProblems) : saveProblems_(saveProblems) {}

  static std::string path();
  // The saved game's text; nothing when there is none or it can't be used (an unusable
  // file is kept aside).
  std::optional<std::string> load();
  // The page could not start from the saved game: an unplayable board whose next save
  // would replace the file. Keeps the file.
  void keepAsideRejected();
  // Stores the page's answer to saveGameState(): a failure (with why) when the page did not
  // answer, empty to keep the earlier save. A state the file already holds is not written
  // again.
  void save(const Result<std::string>& pageAnswer);
  // Whether the last save reached the disk, or the page asked to keep the earlier one.
  bool saved() const { return saved_; }

 private:
  SaveProblemAlert& saveProblems_;
  bool saved_ = true;
  // What the file holds, as last read or written here; nothing when unknown.
  std::optional<std::string> onDisk_;
};

}  // namespace tumbla
