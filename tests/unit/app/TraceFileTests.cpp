#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "TraceFile.h"
#include "json/SBJsonParser.h"

namespace tumbla {
namespace {

// The log writes to the trace from background work while the host writes its events: every
// event makes one whole line, in order for its thread, also when the writer refuses one
// (a message that is not UTF-8) at the same time.
TEST(TraceFile, EventsFromTwoThreadsAtOnceEachMakeOneWholeLine) {
  char pattern[] = "/tmp/tumbla-trace-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::filesystem::path file = std::filesystem::path(pattern) / "trace.jsonl";
  constexpr int kEvents = 2000;
  {
    Result<std::unique_ptr<TraceFile>> trace = TraceFile::open(file);
    ASSERT_TRUE(trace) << trace.reason();
    auto writeEvents = [&trace](const char* thread) {
      for (int i = 0; i < kEvents; ++i) {
        (*trace)->write({{"event", "log"}, {"thread", thread}, {"count", std::to_string(i)}});
        (*trace)->write({{"event", "log"}, {"thread", thread}, {"message", "\xff\xfe"}});
      }
    };
    std::thread background(writeEvents, "background");
    writeEvents("main");
    background.join();
  }

  std::map<std::string, std::int64_t> next{{"main", 0}, {"background", 0}};
  std::ifstream lines(file);
  SBJsonParser parser;
  for (std::string line; std::getline(lines, line);) {
    std::optional<Value> event = parser.objectWithString(line);
    ASSERT_TRUE(event && event->dictionaryIf()) << line;
    const Value* thread = event->dictionaryIf()->find("thread");
    const Value* count = event->dictionaryIf()->find("count");
    ASSERT_TRUE(thread && thread->stringIf() && count && count->stringIf()) << line;
    EXPECT_EQ(*count->stringIf(), std::to_string(next[std::string(*thread->stringIf())]++)) << line;
  }
  EXPECT_EQ(next,
            (std::map<std::string, std::int64_t>{{"main", kEvents}, {"background", kEvents}}));
  std::filesystem::remove_all(file.parent_path());
}

}  // namespace
}  // namespace tumbla
