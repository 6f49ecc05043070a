#pragma once

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
void script(std::string_view script, ScriptChannel channel, bool answered);
void scriptQueued(std::string_view script);
void lifecycle(std::string_view eventName);
void openedOutside(const Url& url, bool handedOver);

}  // namespace BridgeTrace
}  // namespace tumbla
