#include "host/ActivityCounters.h"

#include <string>
#include <utility>

#include "host/CounterFile.h"
#include "host/TumblaViewController.h"
#include "platform/Log.h"

namespace tumbla {

namespace {

constexpr const char* kActivationCounterFile = "yongHu31.plist";
constexpr const char* kUploadCounterFile = "facebook2.plist";

}  // namespace

void ActivityCounters::read() {
  for (auto [file, count] :
       {std::pair<const char*, std::int32_t&>{kActivationCounterFile, activations_},
        {kUploadCounterFile, uploads_}}) {
    std::string path = TumblaViewController::dataFilePath(file);
    Result<std::optional<std::int32_t>> stored = CounterFile::read(path);
    if (!stored) {
      // Left as it is: the count it holds may come back, and the next save replaces it.
      logLine(stored.reason() + "; counting from " + std::to_string(count));
    } else if (*stored) {
      count = **stored;
    } else {
      logIfFailed(CounterFile::write(path, count), "write a counter");
    }
  }
}

void ActivityCounters::write() {
  for (auto [file, count] :
       {std::pair<const char*, std::int32_t>{kActivationCounterFile, activations_},
        {kUploadCounterFile, uploads_}}) {
    // Counts, not progress: the game itself is saved apart from them.
    logIfFailed(CounterFile::write(TumblaViewController::dataFilePath(file), count),
                "write a counter");
  }
}

}  // namespace tumbla
