#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Log.h"

namespace tumbla::testing {

// A little-endian unsigned number of `bytes` bytes, as file formats write them.
std::string littleEndian(std::uint32_t value, int bytes);
// A 16-bit PCM WAV file of a steady tone at half scale.
std::string toneWav(int rate, int channels, double seconds, double frequency);

// The names of the process's threads, one per thread.
std::multiset<std::string> threadNames();
// The threads in `after` that were not in `before`, leaving out those the toolkit keeps for
// the rest of the process once it has started them (GLib's main-context and D-Bus threads,
// its thread pools, dconf's worker) and the tests' loopback server. Threads this program
// starts carry the program's name, so any of them left over is listed.
std::vector<std::string> threadsLeftOver(const std::multiset<std::string>& before,
                                         const std::multiset<std::string>& after);

// Iterates the main loop until `done` answers true or `seconds` pass; answers `done()`.
bool pumpUntil(const std::function<bool()>& done, double seconds);

// A fresh directory, removed with everything in it at the end of the test.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path write(const std::string& name, std::string_view contents) const;

 private:
  std::filesystem::path path_;
};

// Sets (or, with nothing, unsets) an environment variable and restores it at the end.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// The log lines written while it exists.
class CapturedLog {
 public:
  CapturedLog();
  ~CapturedLog();
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  LogSink previous_;
};

}  // namespace tumbla::testing
