#include "host/BridgeTrace.h"

#include "platform/Platform.h"

namespace tumbla::BridgeTrace {

namespace {

std::string_view navigationTypeName(NavigationType type) {
  switch (type) {
    case NavigationType::LinkClicked:
      return "link";
    case NavigationType::FormSubmitted:
      return "form";
    case NavigationType::BackForward:
      return "back-forward";
    case NavigationType::Reload:
      return "reload";
    case NavigationType::FormResubmitted:
      return "form-resubmit";
    case NavigationType::Other:
      return "other";
  }
  return "other";
}

}  // namespace

void navigation(const Url& url, NavigationType type, bool handled) {
  Platform::shared().trace({{"event", "navigation"},
                            {"url", url.absoluteString()},
                            {"type", navigationTypeName(type)},
                            {"handled", Value::boolean(handled)}});
}

void script(std::string_view script, ScriptChannel channel, bool answered) {
  Platform::shared().trace({{"event", "script"},
                            {"channel", channel == ScriptChannel::Queued ? "queued" : "direct"},
                            {"script", script},
                            {"answered", Value::boolean(answered)}});
}

void scriptQueued(std::string_view script) {
  Platform::shared().trace({{"event", "script-held"}, {"script", script}});
}

void lifecycle(std::string_view eventName) {
  Platform::shared().trace({{"event", "lifecycle"}, {"name", eventName}});
}

void openedOutside(const Url& url, bool handedOver) {
  Platform::shared().trace({{"event", "open-outside"},
                            {"url", url.absoluteString()},
                            {"handedOver", Value::boolean(handedOver)}});
}

}  // namespace tumbla::BridgeTrace
