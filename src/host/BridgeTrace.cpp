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

// Events are only built when somebody reads them: most runs have no trace.
template <class MakeEvent>
void emit(MakeEvent makeEvent) {
  const Platform& platform = Platform::shared();
  if (platform.isTracing()) platform.trace(makeEvent());
}

}  // namespace

void navigation(const Url& url, NavigationType type, bool handled) {
  emit([&] {
    return Dictionary{{"event", "navigation"},
                      {"url", url.absoluteString()},
                      {"type", navigationTypeName(type)},
                      {"handled", Value::boolean(handled)}};
  });
}

void message(const Url& url) {
  emit([&] { return Dictionary{{"event", "message"}, {"url", url.absoluteString()}}; });
}

void script(std::string_view script, ScriptChannel channel, bool answered) {
  emit([&] {
    return Dictionary{{"event", "script"},
                      {"channel", channel == ScriptChannel::Queued ? "queued" : "direct"},
                      {"script", script},
                      {"answered", Value::boolean(answered)}};
  });
}

void scriptQueued(std::string_view script) {
  emit([&] { return Dictionary{{"event", "script-held"}, {"script", script}}; });
}

void lifecycle(std::string_view eventName) {
  emit([&] { return Dictionary{{"event", "lifecycle"}, {"name", eventName}}; });
}

void openedOutside(const Url& url, bool handedOver) {
  emit([&] {
    return Dictionary{{"event", "open-outside"},
                      {"url", url.absoluteString()},
                      {"handedOver", Value::boolean(handedOver)}};
  });
}

}  // namespace tumbla::BridgeTrace
