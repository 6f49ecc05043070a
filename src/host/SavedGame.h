#pragma once

#include <optional>
#include <string>

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
  std::optional<std::string> load() const;
  // The page could not start from the saved game: an unplayable board whose next save
  // would replace the file. Keeps the file.
  void keepAsideRejected() const;
  // Stores the page's answer to saveGameState(): nothing when the page did not answer,
  // empty to keep the earlier save.
  void save(const std::optional<std::string>& pageAnswer);
  // Whether the last save reached the disk, or the page asked to keep the earlier one.
  bool saved() const { return saved_; }

 private:
  SaveProblemAlert& saveProblems_;
  bool saved_ = true;
};

}  // namespace tumbla
