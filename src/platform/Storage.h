#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace tumbla {

// The application's own files: the documents directory and the preferences file, read and
// written whole. Failures carry the system's error code (ENOSPC, EACCES, EIO, EROFS, ...)
// beside the words for the log.
class Storage {
 public:
  explicit Storage(std::filesystem::path documentsDirectory)
      : documentsDirectory_(std::move(documentsDirectory)) {}
  virtual ~Storage() = default;
  Storage(const Storage&) = delete;
  Storage& operator=(const Storage&) = delete;

  const std::filesystem::path& documentsDirectory() const { return documentsDirectory_; }

  virtual bool fileExists(const std::filesystem::path& path) const = 0;
  // The file's bytes, or why they can't be read: missing, not a regular file (a directory,
  // a FIFO, which is never waited on, a device), no permission, or an I/O error. Never
  // throws and never blocks on anything but the disk.
  virtual Result<std::string> readFile(const std::filesystem::path& path) const = 0;
  // Writes through a temporary file of our own in the same folder, flushed and then
  // renamed over the target, and syncs the folder so that the new name survives a power
  // cut. A reader sees the old or the new content and never a part. Creates the folder
  // when missing. Succeeds only when the new content is in place; a failure leaves the
  // earlier content as it was.
  virtual Status writeFileAtomically(const std::filesystem::path& path,
                                     std::string_view contents) = 0;
  // Renames a file that could not be used to "<name>.<reason>-<UTC time>" beside it, so
  // that nothing is lost. Answers the new path.
  Result<std::filesystem::path> keepAside(const std::filesystem::path& path,
                                          std::string_view reason);

 protected:
  // Renames `from` to `to`, which does not exist; 0 or the system's error code.
  virtual int moveFile(const std::filesystem::path& from, const std::filesystem::path& to) = 0;

 private:
  std::filesystem::path documentsDirectory_;
};

// "<doing> <path>: <the system's words for code>", carrying the code: one wording for a
// file that can't be used, whichever storage found it so.
Failure storageFailure(std::string_view doing, const std::filesystem::path& path, int code);

}  // namespace tumbla
