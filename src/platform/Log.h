#pragma once

#include <functional>
#include <string_view>

namespace tumbla {

// The system log: one line per message. Goes to stderr unless a sink is installed
// (the app adds the trace file; tests capture the lines).
void logLine(std::string_view message);

using LogSink = std::function<void(std::string_view)>;
// Installs `sink` for every later line; an empty sink restores stderr. Answers the
// previous sink so that a caller can put it back.
LogSink setLogSink(LogSink sink);

}  // namespace tumbla
