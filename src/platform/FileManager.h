#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace tumbla {

// Whole-file access for the application's documents directory and the bundle.
class FileManager {
 public:
  explicit FileManager(std::filesystem::path documentsDirectory);

  const std::filesystem::path& documentsDirectory() const { return documentsDirectory_; }

  bool fileExists(const std::filesystem::path& path) const;
  // The file's bytes, or why they can't be read: missing, not a regular file (a directory,
  // a FIFO, which is never waited on, a device), no permission, or an I/O error. Never
  // throws and never blocks on anything but the disk.
  Result<std::string> readFile(const std::filesystem::path& path) const;
  // Writes through a temporary file of our own in the same folder, flushed and then
  // renamed over the target, and syncs the folder so that the new name survives a power
  // cut. A reader sees the old or the new content and never a part. Creates the folder
  // when missing. Succeeds only when the new content is in place.
  Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents) const;
  // Removes the temporary files that writes in `directory` left behind when their process
  // died mid-save; a write still running in another process keeps its file. Answers how
  // many were removed.
  static int removeStaleTemporaryFiles(const std::filesystem::path& directory);
  // Renames a file that could not be used to "<name>.<reason>-<UTC time>" beside it, so
  // that nothing is lost. Answers the new path.
  Result<std::filesystem::path> keepAside(const std::filesystem::path& path,
                                          std::string_view reason) const;

 private:
  std::filesystem::path documentsDirectory_;
};

}  // namespace tumbla
