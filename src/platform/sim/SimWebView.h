#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/WebView.h"

namespace tumbla {

// A web view that records what the host asks of it. The test plays the page: it decides
// what scripts answer, starts navigations and finishes loads.
class SimWebView : public WebView {
 public:
  using WebView::WebView;

  static constexpr const char* kThrownMessage = "Error: thrown by the test's page (line 1)";

  void loadURL(const Url& url) override { loadedURLs_.push_back(url); }
  void reload() override { ++reloadCount_; }
  int reloadCount() const { return reloadCount_; }
  Result<std::string> evaluateScript(std::string_view script,
                                     ScriptKind kind = ScriptKind::Call) override;
  const std::vector<ScriptKind>& scriptKinds() const { return kinds_; }

  // The answer to a script; unset scripts answer the empty string. `std::nullopt` makes
  // the script fail as if it threw an error with the message kThrownMessage.
  void setAnswer(std::string script, std::optional<std::string> answer);

  // The page starts a load: answers whether the host let it go ahead.
  bool navigate(const Url& url, NavigationType type = NavigationType::Other);
  // The page finished loading.
  void finishLoad();
  // The page posts a text to the host's message handler.
  void postMessage(const std::string& message);
  // The page's web process crashes.
  void endWebProcess() {
    if (delegate()) delegate()->webProcessDidEnd(*this);
  }

  const std::vector<std::string>& scripts() const { return scripts_; }
  void clearScripts() {
    scripts_.clear();
    kinds_.clear();
  }
  const std::vector<Url>& loadedURLs() const { return loadedURLs_; }

 private:
  std::vector<std::string> scripts_;
  std::vector<ScriptKind> kinds_;
  std::vector<Url> loadedURLs_;
  int reloadCount_ = 0;
  std::map<std::string, std::optional<std::string>, std::less<>> answers_;
};

}  // namespace tumbla
