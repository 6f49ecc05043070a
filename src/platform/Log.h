#pragma once

#include <functional>
#include <string_view>

#include "platform/Result.h"

namespace tumbla {

// The system log: one line per message. Goes to stderr unless a sink is installed
// (the app adds the trace file; tests capture the lines).
void logLine(std::string_view message);

// Logs "could not <action>: <reason>" when `status` is a failure; answers whether it
// succeeded. For failures the program carries on from, which must still be heard of.
bool logIfFailed(const Status& status, std::string_view action);

using LogSink = std::function<void(std::string_view)>;
// Installs `sink` for every later line; an empty sink restores stderr. Answers the
// previous sink so that a caller can put it back.
LogSink setLogSink(LogSink sink);

}  // namespace tumbla
