#include "platform/Storage.h"

#include <cstring>
#include <ctime>

namespace tumbla {

Result<std::filesystem::path> Storage::keepAside(const std::filesystem::path& path,
                                                 std::string_view reason) {
  std::time_t now = std::time(nullptr);
  // Only the main thread keeps files aside, so the shared result of gmtime is safe here.
  const std::tm* utc = std::gmtime(&now);
  char stamp[32] = {};
  if (utc) std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%SZ", utc);
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
  if (int error = moveFile(path, aside)) {
    return Failure{"can't move " + path.string() + " aside: " + std::strerror(error), error};
  }
  return aside;
}

Failure storageFailure(std::string_view doing, const std::filesystem::path& path, int code) {
  return Failure{std::string(doing) + " " + path.string() + ": " + std::strerror(code), code};
}

}  // namespace tumbla
