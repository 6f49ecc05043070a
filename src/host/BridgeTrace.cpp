#include "host/BridgeTrace.h"

#include <cstdint>
#include <optional>

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

// The script as the trace shows it: whole, or its first kTracedScriptBytes (never cutting
// a character in two) with its full length beside it.
Dictionary scriptEvent(std::string_view name, std::string_view script,
                       std::optional<ScriptChannel> channel, std::optional<bool> answered) {
  Dictionary event{{"event", name}};
  if (channel) event.set("channel", *channel == ScriptChannel::Queued ? "queued" : "direct");
  if (script.size() <= kTracedScriptBytes) {
    event.set("script", script);
  } else {
    std::size_t cut = kTracedScriptBytes;
    while (cut > 0 && (static_cast<unsigned char>(script[cut]) & 0xC0) == 0x80) --cut;
    event.set("script", script.substr(0, cut));
    event.set("scriptLength", Value::integer(static_cast<std::int64_t>(script.size())));
  }
  if (answered) event.set("answered", Value::boolean(*answered));
  return event;
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

void script(std::string_view script, ScriptChannel channel) {
  emit([&] { return scriptEvent("script", script, channel, true); });
}

void scriptFailed(std::string_view script, ScriptChannel channel, std::string_view reason) {
  emit([&] {
    Dictionary event = scriptEvent("script", script, channel, false);
    event.set("error", reason);
    return event;
  });
}

void scriptQueued(std::string_view script) {
  emit([&] { return scriptEvent("script-held", script, std::nullopt, std::nullopt); });
}

void lifecycle(std::string_view eventName) {
  emit([&] { return Dictionary{{"event", "lifecycle"}, {"name", eventName}}; });
}

}  // namespace tumbla::BridgeTrace
