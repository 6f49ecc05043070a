#include "TraceFile.h"

#include <cerrno>
#include <chrono>
#include <cstring>

namespace tumbla {

Result<std::unique_ptr<TraceFile>> TraceFile::open(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    return Failure{"cannot write the trace file " + path.string() + ": " + std::strerror(errno)};
  }
  return std::unique_ptr<TraceFile>(new TraceFile(file));
}

TraceFile::~TraceFile() {
  std::fclose(file_);
}

void TraceFile::write(const Dictionary& event) {
  std::lock_guard lock(mutex_);
  std::optional<std::string> object = writer_.stringWithObject(event);
  if (!object || object->size() < 2) return;
  // Milliseconds since the epoch come first, so that lines sort and line up with other
  // logs; spliced in rather than copying every event into a new dictionary.
  auto now = std::chrono::system_clock::now().time_since_epoch();
  std::string line = "{\"time\":";
  line += std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
  if (object->size() > 2) line += ',';
  line.append(*object, 1);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace tumbla
