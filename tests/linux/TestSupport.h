#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Log.h"

namespace tumbla::testing {

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
