#include "platform/linux/DataDirectoryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/Storage.h"

namespace tumbla {

namespace {

// A copy that was just told to stop may still be saving; give it this long.
constexpr auto kPatience = std::chrono::seconds(3);

std::string ownerOf(int fd) {
  char text[32] = {};
  ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
  std::string owner(text, length > 0 ? static_cast<std::size_t>(length) : 0);
  return owner.empty() ? std::string("another tumbla") : "another tumbla (process " + owner + ")";
}

}  // namespace

Result<std::unique_ptr<DataDirectoryLock>> DataDirectoryLock::acquire(
    const std::filesystem::path& directory) {
  std::filesystem::path file = directory / ".tumbla.lock";
  int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return storageFailure("can't lock the data directory", directory, errno);
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    if (error == EINTR) continue;
    if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
      Failure failure = error == EWOULDBLOCK
                            ? Failure{"the data directory " + directory.string() +
                                          " is in use by " + ownerOf(fd) + "; close it first",
                                      error}
                            : storageFailure("can't lock the data directory", directory, error);
      ::close(fd);
      return failure;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  std::string pid = std::to_string(::getpid());
  if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.data(), pid.size(), 0) < 0) {
    // Only the message of a second copy is poorer for it.
  }
  return std::unique_ptr<DataDirectoryLock>(new DataDirectoryLock(fd));
}

DataDirectoryLock::~DataDirectoryLock() {
  ::close(fd_);
}

}  // namespace tumbla
