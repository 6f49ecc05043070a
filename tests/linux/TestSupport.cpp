#include "TestSupport.h"

#include <glib.h>

#include <cstdlib>
#include <fstream>

namespace tumbla::testing {

namespace {

gboolean markPassed(gpointer passed) {
  *static_cast<bool*>(passed) = true;
  return G_SOURCE_REMOVE;
}

gboolean keepPolling(gpointer) {
  return G_SOURCE_CONTINUE;
}

}  // namespace

bool pumpUntil(const std::function<bool()>& done, double seconds) {
  bool passed = false;
  guint deadline = g_timeout_add(static_cast<guint>(seconds * 1000), markPassed, &passed);
  // Conditions outside the loop (a file another process writes) are polled.
  guint poll = g_timeout_add(10, keepPolling, nullptr);
  while (!done() && !passed) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(poll);
  if (!passed) g_source_remove(deadline);
  return done();
}

TemporaryDirectory::TemporaryDirectory() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tumbla-linux-XXXXXX").string();
  path_ = ::mkdtemp(pattern.data());
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code error;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, error);
  std::filesystem::remove_all(path_, error);
}

std::filesystem::path TemporaryDirectory::write(const std::string& name,
                                                std::string_view contents) const {
  std::filesystem::path file = path_ / name;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << contents;
  return file;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const char* value) : name_(name) {
  if (const char* previous = std::getenv(name)) previous_ = previous;
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnvironment::~ScopedEnvironment() {
  if (previous_) {
    ::setenv(name_.c_str(), previous_->c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

CapturedLog::CapturedLog()
    : previous_(setLogSink([this](std::string_view line) { lines_.emplace_back(line); })) {}

CapturedLog::~CapturedLog() {
  setLogSink(previous_);
}

}  // namespace tumbla::testing
