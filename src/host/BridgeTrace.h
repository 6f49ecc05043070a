#pragma once

#include <cstddef>
#include <string_view>

#include "platform/Url.h"
#include "platform/WebView.h"

namespace tumbla {

// What game authors see of the bridge with --trace: one event per navigation the page
// starts (with the answer), script evaluated, lifecycle event and URL opened outside.
namespace BridgeTrace {

enum class ScriptChannel { Queued, Direct };

void navigation(const Url& url, NavigationType type, bool handled);
// A command URL posted to the host's message handler.
void message(const Url& url);
// Scripts longer than this are cut in the trace (a saved game can be megabytes), and the
// event says how long they were.
inline constexpr std::size_t kTracedScriptBytes = 4096;

void script(std::string_view script, ScriptChannel channel);
// A script that threw or did not answer, with why: the exception's message and line.
void scriptFailed(std::string_view script, ScriptChannel channel, std::string_view reason);
void scriptQueued(std::string_view script);
void lifecycle(std::string_view eventName);

}  // namespace BridgeTrace
}  // namespace tumbla
