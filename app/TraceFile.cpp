#include "TraceFile.h"

#include <chrono>

namespace tumbla {

std::unique_ptr<TraceFile> TraceFile::open(const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) return nullptr;
  return std::unique_ptr<TraceFile>(new TraceFile(file));
}

TraceFile::~TraceFile() {
  std::fclose(file_);
}

void TraceFile::write(const Dictionary& event) {
  // Milliseconds since the epoch first, so that lines sort and line up with other logs.
  Dictionary stamped;
  auto now = std::chrono::system_clock::now().time_since_epoch();
  stamped.set("time",
              Value::integer(std::chrono::duration_cast<std::chrono::milliseconds>(now).count()));
  for (const auto& [key, value] : event) stamped.set(key, value);
  std::optional<std::string> line = writer_.stringWithObject(stamped);
  if (!line) return;
  line->push_back('\n');
  std::fwrite(line->data(), 1, line->size(), file_);
  std::fflush(file_);
}

}  // namespace tumbla
