#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/Storage.h"

namespace tumbla {

// The application's files on the disk, written whole and atomically (see Storage).
class LinuxStorage : public Storage {
 public:
  explicit LinuxStorage(std::filesystem::path documentsDirectory)
      : Storage(std::move(documentsDirectory)) {}

  bool fileExists(const std::filesystem::path& path) const override;
  Result<std::string> readFile(const std::filesystem::path& path) const override {
    return readWholeFile(path);
  }
  Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents) override;

  // Any file's bytes, as readFile answers them (the bundle's resources are read so too).
  static Result<std::string> readWholeFile(const std::filesystem::path& path);
  // Removes the temporary files that writes in `directory` left behind when their process
  // died mid-save; a write still running in another process keeps its file. Answers how
  // many were removed.
  static int removeStaleTemporaryFiles(const std::filesystem::path& directory);

 protected:
  int moveFile(const std::filesystem::path& from, const std::filesystem::path& to) override;
};

}  // namespace tumbla
