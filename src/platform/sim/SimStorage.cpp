#include "platform/sim/SimStorage.h"

#include <algorithm>
#include <cerrno>

namespace tumbla {

namespace {

std::filesystem::path normal(const std::filesystem::path& path) {
  return path.lexically_normal();
}

bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
  auto [end, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
  return end == folder.end();
}

}  // namespace

bool SimStorage::fileExists(const std::filesystem::path& path) const {
  return files_.contains(normal(path));
}

Result<std::string> SimStorage::readFile(const std::filesystem::path& path) const {
  if (int error = injectedError(path, Operation::Read)) {
    return storageFailure("can't read", path, error);
  }
  auto found = files_.find(normal(path));
  if (found == files_.end()) return storageFailure("can't open", path, ENOENT);
  return found->second;
}

Status SimStorage::writeFileAtomically(const std::filesystem::path& path,
                                       std::string_view contents) {
  if (int error = injectedError(path, Operation::Write)) {
    return storageFailure("can't write", path, error);
  }
  files_[normal(path)] = std::string(contents);
  return {};
}

int SimStorage::moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (int error = injectedError(from, Operation::KeepAside)) return error;
  auto found = files_.find(normal(from));
  if (found == files_.end()) return ENOENT;
  files_[normal(to)] = std::move(found->second);
  files_.erase(found);
  return 0;
}

void SimStorage::failOn(const std::filesystem::path& path, Operation operation, int code) {
  failures_[{normal(path), operation}] = code;
}

std::vector<std::filesystem::path> SimStorage::filesIn(
    const std::filesystem::path& directory) const {
  std::vector<std::filesystem::path> inside;
  for (const auto& [path, contents] : files_) {
    if (path.parent_path() == normal(directory)) inside.push_back(path);
  }
  return inside;
}

int SimStorage::injectedError(const std::filesystem::path& path, Operation operation) const {
  for (const auto& [where, code] : failures_) {
    if (where.second == operation && isWithin(normal(path), where.first)) return code;
  }
  return 0;
}

}  // namespace tumbla
