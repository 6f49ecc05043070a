#pragma once

#include <filesystem>
#include <memory>

#include "platform/Result.h"

namespace tumbla {

// Keeps a second game from playing on the same saved game and settings: two copies would
// each overwrite the other's saves. The lock is the file ".tumbla.lock" in the directory
// (the one that holds the preferences file, so that the documents stay the game's own),
// held (flock) for as long as this object lives, and released by the system however the
// process ends. It holds the owner's process id for the message a second copy gives.
class DataDirectoryLock {
 public:
  // Takes the lock, waiting a moment for a copy that is just ending; a failure says who
  // holds it or why it can't be taken.
  static Result<std::unique_ptr<DataDirectoryLock>> acquire(const std::filesystem::path& directory);

  ~DataDirectoryLock();
  DataDirectoryLock(const DataDirectoryLock&) = delete;
  DataDirectoryLock& operator=(const DataDirectoryLock&) = delete;

 private:
  explicit DataDirectoryLock(int fd) : fd_(fd) {}

  int fd_;
};

}  // namespace tumbla
