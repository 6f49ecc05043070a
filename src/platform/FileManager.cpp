#include "platform/FileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <system_error>

namespace tumbla {

FileManager::FileManager(std::filesystem::path documentsDirectory)
    : documentsDirectory_(std::move(documentsDirectory)) {}

bool FileManager::fileExists(const std::filesystem::path& path) const {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

std::optional<std::string> FileManager::readFile(const std::filesystem::path& path) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string contents((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return contents;
}

namespace {

bool writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    ssize_t written = ::write(fd, contents.data(), contents.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    contents.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace

Status FileManager::writeFileAtomically(const std::filesystem::path& path,
                                        std::string_view contents) const {
  auto failed = [&path](const char* step, int error) {
    return Failure{"could not " + std::string(step) + " " + path.string() + ": " +
                   std::strerror(error)};
  };
  std::error_code error;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), error);

  std::string temporary = path.string() + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return failed("write", errno);
  int problem = 0;
  const char* step = "write";
  if (!writeAll(fd, contents) || ::fsync(fd) != 0) problem = errno;
  if (::close(fd) != 0 && problem == 0) problem = errno;
  if (problem == 0 && ::chmod(temporary.c_str(), 0644) != 0) problem = errno;
  if (problem == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) {
    problem = errno;
    step = "replace";
  }
  if (problem == 0) return {};
  ::unlink(temporary.c_str());
  return failed(step, problem);
}

std::optional<std::filesystem::path> FileManager::keepAside(const std::filesystem::path& path,
                                                            std::string_view reason) const {
  std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", &utc);
  std::string suffix = ".";
  suffix.append(reason).append("-").append(stamp);
  std::filesystem::path aside = path;
  aside += suffix;
  for (int attempt = 1; fileExists(aside); ++attempt) {
    aside = path;
    aside += suffix;
    aside += "-";
    aside += std::to_string(attempt);
  }
  std::error_code error;
  std::filesystem::rename(path, aside, error);
  if (error) return std::nullopt;
  return aside;
}

}  // namespace tumbla
