#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"
#include "platform/Result.h"
#include "platform/Url.h"
#include "platform/View.h"

namespace tumbla {

enum class NavigationType {
  LinkClicked,
  FormSubmitted,
  BackForward,
  Reload,
  FormResubmitted,
  Other
};

class WebView;

// How long a script may run: a page's start-up (its init) does more work than any later
// call, and gets a longer limit.
enum class ScriptKind { Call, StartUp };

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  // Asked before every load the page starts (top frame, frames, new windows); the load
  // goes ahead only when this answers true.
  virtual bool shouldStartLoad(WebView& webView, const Url& url, NavigationType type) = 0;
  virtual void didFinishLoad(WebView& webView) = 0;
  virtual void didFailLoad(WebView& /*webView*/, const Error& /*error*/) {}
  // A text the page posted to the host's message handler
  // (`window.webkit.messageHandlers.tumbla.postMessage(text)`; a text of several lines
  // arrives here line by line), in the order posted and in turn with the loads the page
  // starts.
  virtual void didReceiveMessage(WebView& /*webView*/, const std::string& /*message*/) {}
  // The page's web process ended (it crashed, or was ended because a script never
  // answered): the page is gone until the delegate reloads it.
  virtual void webProcessDidEnd(WebView& /*webView*/) {}
};

// A load the host itself stopped by refusing it (the page then goes on as it was): the
// mobile engine's "WebKitErrorDomain" 102, WebKitGTK's "WebKitPolicyError" 102.
bool isLoadInterruptedByPolicy(const Error& error);
// The error a page's load ends with when its web process ended under it.
inline constexpr std::string_view kWebProcessEndedDomain = "TumblaWebProcessEnded";
// A load cancelled before it finished, usually because another one replaced it:
// "NSURLErrorDomain" -999 on the mobile system, "WebKitNetworkError" 302 on WebKitGTK.
bool isLoadCancelled(const Error& error);

// An embedded web engine showing one page.
class WebView : public View {
 public:
  using View::View;

  // Not owned; must outlive the web view or be reset first.
  void setDelegate(WebViewDelegate* delegate) { delegate_ = delegate; }
  WebViewDelegate* delegate() const { return delegate_; }

  virtual void loadURL(const Url& url) = 0;
  // Loads the page again, from where it was asked for if it never showed.
  virtual void reload() = 0;
  // Evaluates `script` in the page and answers its result as text (an undefined or null
  // result is the empty string). A failure when the script throws (with the exception's
  // message and where it was thrown) or does not answer in time.
  virtual Result<std::string> evaluateScript(std::string_view script,
                                             ScriptKind kind = ScriptKind::Call) = 0;

  // Whether the player started a load is not asked of the engine, which counts a script the
  // host ran as the player's gesture: the application's gate sees the real keys and clicks.

 protected:
  // Puts a load to the delegate; with none, every load goes ahead.
  bool askDelegate(const Url& url, NavigationType type) {
    return !delegate_ || delegate_->shouldStartLoad(*this, url, type);
  }

 private:
  WebViewDelegate* delegate_ = nullptr;
};

}  // namespace tumbla
