#include "TestSupport.h"

#include <glib.h>

#include <cmath>
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

std::string littleEndian(std::uint32_t value, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
  return out;
}

std::string toneWav(int rate, int channels, double seconds, double frequency) {
  std::string data;
  auto frames = static_cast<int>(seconds * rate);
  for (int i = 0; i < frames; ++i) {
    auto sample = static_cast<std::int16_t>(16384 * std::sin(2 * M_PI * frequency * i / rate));
    for (int c = 0; c < channels; ++c) data += littleEndian(static_cast<std::uint16_t>(sample), 2);
  }
  return "RIFF" + littleEndian(36 + data.size(), 4) + "WAVEfmt " + littleEndian(16, 4) +
         littleEndian(1, 2) + littleEndian(channels, 2) + littleEndian(rate, 4) +
         littleEndian(rate * channels * 2, 4) + littleEndian(channels * 2, 2) +
         littleEndian(16, 2) + "data" + littleEndian(data.size(), 4) + data;
}

std::multiset<std::string> threadNames() {
  std::multiset<std::string> names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::string name;
    // A thread that ended meanwhile has no name to read.
    if (std::getline(std::ifstream(task.path() / "comm"), name)) names.insert(name);
  }
  return names;
}

std::vector<std::string> threadsLeftOver(const std::multiset<std::string>& before,
                                         const std::multiset<std::string>& after) {
  auto tolerated = [](const std::string& name) {
    for (const char* prefix : {"gmain", "gdbus", "pool-", "dconf worker", "test-http"}) {
      if (name.starts_with(prefix)) return true;
    }
    return false;
  };
  std::multiset<std::string> left = after;
  for (const std::string& name : before) {
    if (auto found = left.find(name); found != left.end()) left.erase(found);
  }
  std::vector<std::string> leftOver;
  for (const std::string& name : left) {
    if (!tolerated(name)) leftOver.push_back(name);
  }
  return leftOver;
}

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
