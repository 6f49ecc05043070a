#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Storage.h"

namespace tumbla {

// The application's files in memory. A test makes any operation fail on demand, with the
// error the system would give (ENOSPC, EACCES, EIO, EROFS, ...), to see what the player is
// told and that nothing stored earlier is lost.
class SimStorage : public Storage {
 public:
  enum class Operation { Read, Write, KeepAside };

  explicit SimStorage(std::filesystem::path documentsDirectory)
      : Storage(std::move(documentsDirectory)) {}

  bool fileExists(const std::filesystem::path& path) const override;
  Result<std::string> readFile(const std::filesystem::path& path) const override;
  Status writeFileAtomically(const std::filesystem::path& path, std::string_view contents) override;

  // From now on `operation` on `path`, or on any file inside it when it names a folder,
  // fails with the system's error `code`, leaving the files as they are.
  void failOn(const std::filesystem::path& path, Operation operation, int code);
  // Every operation succeeds again.
  void stopFailing() { failures_.clear(); }
  // The files directly inside `directory`, sorted.
  std::vector<std::filesystem::path> filesIn(const std::filesystem::path& directory) const;

 protected:
  int moveFile(const std::filesystem::path& from, const std::filesystem::path& to) override;

 private:
  // The error `operation` on `path` was set to fail with; 0 when none.
  int injectedError(const std::filesystem::path& path, Operation operation) const;

  std::map<std::filesystem::path, std::string> files_;
  std::map<std::pair<std::filesystem::path, Operation>, int> failures_;
};

}  // namespace tumbla
