#include "platform/sim/SimWebView.h"

namespace tumbla {

Result<std::string> SimWebView::evaluateScript(std::string_view script, ScriptKind kind) {
  scripts_.emplace_back(script);
  kinds_.push_back(kind);
  auto answer = answers_.find(script);
  if (answer == answers_.end()) return std::string();
  if (!answer->second) return Failure{kThrownMessage};
  return *answer->second;
}

void SimWebView::setAnswer(std::string script, std::optional<std::string> answer) {
  answers_[std::move(script)] = std::move(answer);
}

bool SimWebView::navigate(const Url& url, NavigationType type) {
  bool allowed = askDelegate(url, type);
  if (allowed) loadedURLs_.push_back(url);
  return allowed;
}

void SimWebView::postMessage(const std::string& message) {
  if (delegate()) delegate()->didReceiveMessage(*this, message);
}

void SimWebView::finishLoad() {
  if (delegate()) delegate()->didFinishLoad(*this);
}

}  // namespace tumbla
