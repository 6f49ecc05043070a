#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string_view>

#include "json/SBJsonWriter.h"
#include "platform/Result.h"
#include "value/Value.h"

namespace tumbla {

// The --trace file: one compact JSON object per line, flushed as it is written so that a
// reader sees every event up to a crash or a kill. Any thread may write: the log reaches it
// from background work too.
class TraceFile {
 public:
  // The open file, or why it can't be opened for writing.
  static Result<std::unique_ptr<TraceFile>> open(const std::filesystem::path& path);
  ~TraceFile();

  void write(const Dictionary& event);

 private:
  explicit TraceFile(std::FILE* file) : file_(file) {}

  // Held for a whole write: the writer keeps the last event's errors, and a line must reach
  // the file in one piece.
  std::mutex mutex_;
  std::FILE* file_;
  SBJsonWriter writer_;
};

}  // namespace tumbla
