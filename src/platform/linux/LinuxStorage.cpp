#include "platform/linux/LinuxStorage.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace tumbla {

namespace {

// Temporary files of our own are hidden, carry this mark and six random characters from
// mkstemp: ".gamestate.json.tumbla-save-Ab12Cd".
constexpr std::string_view kTemporaryMark = ".tumbla-save-";
constexpr std::size_t kTemporaryRandomLength = 6;

bool isOurTemporaryName(std::string_view name) {
  if (!name.starts_with('.') || name.size() < kTemporaryMark.size() + kTemporaryRandomLength) {
    return false;
  }
  return name.substr(name.size() - kTemporaryRandomLength - kTemporaryMark.size(),
                     kTemporaryMark.size()) == kTemporaryMark;
}

// Closes the descriptor on every way out.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now and answers whether the close succeeded (a late write error shows here).
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

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

// So that a rename survives a power cut, the folder's entry has to reach the disk too.
void syncDirectory(const std::filesystem::path& directory) {
  int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  // Some file systems cannot sync a folder; the file itself is on disk either way.
  (void)::fsync(fd);
  ::close(fd);
}

// Where a write to `path` lands. A symbolic link (a player's file kept in a synced folder)
// is written through to its target, atomically in the target's own folder, so that the
// link stays a link and the target gets the new content.
Result<std::filesystem::path> writeTarget(const std::filesystem::path& path) {
  constexpr int kMostLinksFollowed = 40;
  std::filesystem::path target = path;
  for (int followed = 0; followed < kMostLinksFollowed; ++followed) {
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    std::filesystem::path link = std::filesystem::read_symlink(target, error);
    if (error) return storageFailure("can't follow the link", target, error.value());
    target = link.is_absolute() ? link : target.parent_path() / link;
  }
  return storageFailure("can't follow the link", path, ELOOP);
}

}  // namespace

bool LinuxStorage::fileExists(const std::filesystem::path& path) const {
  // A link counts whether or not it leads anywhere: one that doesn't fails its read, which
  // is told, instead of passing for a file never made.
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(path, error));
}

Result<std::string> LinuxStorage::readWholeFile(const std::filesystem::path& path) {
  // Non-blocking, so that opening a FIFO does not wait for a writer that never comes.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.get() < 0) return storageFailure("can't open", path, errno);
  struct stat status {};
  if (::fstat(file.get(), &status) != 0) return storageFailure("can't examine", path, errno);
  if (S_ISDIR(status.st_mode)) {
    return Failure{path.string() + " is a directory, not a file", EISDIR};
  }
  if (!S_ISREG(status.st_mode)) return Failure{path.string() + " is not a regular file"};

  std::string contents;
  if (status.st_size > 0) contents.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[64 * 1024];
  while (true) {
    ssize_t count = ::read(file.get(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EINTR) continue;
      return storageFailure("can't read", path, errno);
    }
    if (count == 0) break;
    contents.append(buffer, static_cast<std::size_t>(count));
  }
  return contents;
}

Status LinuxStorage::writeFileAtomically(const std::filesystem::path& link,
                                         std::string_view contents) {
  Result<std::filesystem::path> target = writeTarget(link);
  if (!target) return target.failure();
  const std::filesystem::path& path = *target;
  std::error_code ignored;
  std::filesystem::path folder = path.parent_path();
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);

  std::filesystem::path temporaryPath =
      folder / ("." + path.filename().string() + std::string(kTemporaryMark) + "XXXXXX");
  std::string temporary = temporaryPath.string();
  Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
  if (file.get() < 0) return storageFailure("can't create a temporary file beside", path, errno);
  // Held until the file has its final name: a start-up cleaning up after a killed process
  // only removes temporary files whose writer is gone.
  int error = 0;
  if (::flock(file.get(), LOCK_EX) != 0 || !writeAll(file.get(), contents) ||
      ::fchmod(file.get(), 0644) != 0 || ::fsync(file.get()) != 0 ||
      std::rename(temporary.c_str(), path.c_str()) != 0) {
    error = errno;
    ::unlink(temporary.c_str());
  }
  if (!file.close() && error == 0) error = errno;
  if (error != 0) return storageFailure("can't write", path, error);
  syncDirectory(folder);
  return {};
}

int LinuxStorage::removeStaleTemporaryFiles(const std::filesystem::path& directory) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    std::string name = entry->path().filename().string();
    if (!isOurTemporaryName(name)) continue;
    Descriptor file(
        ::open(entry->path().c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (file.get() < 0) continue;
    // A writer that is still alive holds the lock; the kernel dropped a dead one's.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (::unlink(entry->path().c_str()) == 0) ++removed;
  }
  return removed;
}

int LinuxStorage::moveFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace tumbla
