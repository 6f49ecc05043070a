#include "platform/FileManager.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <system_error>

namespace tumbla {

FileManager::FileManager(std::filesystem::path documentsDirectory)
    : documentsDirectory_(std::move(documentsDirectory)) {}

bool FileManager::fileExists(const std::filesystem::path& path) const {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

namespace {

Failure systemFailure(std::string_view what, const std::filesystem::path& path, int error) {
  std::string reason(what);
  reason.append(" ").append(path.string()).append(": ").append(std::strerror(error));
  return {std::move(reason)};
}

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

Result<std::string> FileManager::readFile(const std::filesystem::path& path) const {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return systemFailure("can't open", path, errno);
  std::string contents;
  char buffer[64 * 1024];
  for (;;) {
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      return systemFailure("can't read", path, error);
    }
    contents.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return contents;
}

Status FileManager::writeFileAtomically(const std::filesystem::path& path,
                                        std::string_view contents) const {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);

  std::string temporary = path.string() + ".XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return systemFailure("can't create a temporary file beside", path, errno);
  int error = 0;
  if (!writeAll(fd, contents) || ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::chmod(temporary.c_str(), 0644) != 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error == 0) return {};
  ::unlink(temporary.c_str());
  return systemFailure("can't write", path, error);
}

Result<std::filesystem::path> FileManager::keepAside(const std::filesystem::path& path,
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
  if (error) return Failure{"can't move " + path.string() + " aside: " + error.message()};
  return aside;
}

}  // namespace tumbla
