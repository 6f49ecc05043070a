#include "platform/Log.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

namespace tumbla {

namespace {
std::mutex logMutex;
LogSink& installedSink() {
  static LogSink sink;
  return sink;
}
}  // namespace

void logLine(std::string_view message) {
  // Background checks log too, so lines must not interleave.
  std::lock_guard lock(logMutex);
  if (const LogSink& sink = installedSink()) {
    sink(message);
    return;
  }
  std::string line = "tumbla: ";
  line.append(message);
  line.push_back('\n');
  std::fwrite(line.data(), 1, line.size(), stderr);
}

bool logIfFailed(const Status& status, std::string_view action) {
  if (status) return true;
  std::string line = "could not ";
  line.append(action).append(": ").append(status.reason());
  logLine(line);
  return false;
}

LogSink setLogSink(LogSink sink) {
  std::lock_guard lock(logMutex);
  return std::exchange(installedSink(), std::move(sink));
}

}  // namespace tumbla
