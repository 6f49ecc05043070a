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
  // The file's bytes, or why they can't be read.
  Result<std::string> readFile(const std::filesystem::path& path) const;
  // Writes through a temporary file in the same folder, flushed and then renamed over the
  // target, so a reader sees the old or the new content and never a part. Creates the
  // folder when missing. Succeeds only when the new content is in place.
  Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents) const;
  // Renames a file that could not be used to "<name>.<reason>-<UTC time>" beside it, so
  // that nothing is lost. Answers the new path.
  Result<std::filesystem::path> keepAside(const std::filesystem::path& path,
                                          std::string_view reason) const;

 private:
  std::filesystem::path documentsDirectory_;
};

}  // namespace tumbla
