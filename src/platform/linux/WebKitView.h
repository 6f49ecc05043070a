#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/WebView.h"
#include "platform/linux/GLibPointers.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// The web view on WebKitGTK.
//
// Every load the page starts (top frame, frames, `window.location`, `target=_blank`
// links, `window.open()`) is put to the delegate before it happens, through the host's
// dispatcher: a navigation that arrives while the host is busy, for instance
// while it waits for a script's answer, is held and put to the delegate afterwards, in
// arrival order. Finished and failed loads reach the delegate the same way. The engine
// never opens a window, and a new window never replaces the page in this view: one the
// delegate lets through (an address without a host) is refused with a log line.
//
// The page may also post texts to the message handler "tumbla"
// (`window.webkit.messageHandlers.tumbla.postMessage(text)`): each line of the text reaches
// the delegate's didReceiveMessage, a message's lines in one dispatch, so messages and
// loads keep their order.
//
// Script evaluation is synchronous: the main loop is iterated until the engine answers or
// the time limit passes (four times as long for the page's start-up). A script that does
// not answer in time leaves the engine stuck, so its web process is ended, and the delegate
// hears of it as of a crash; whether and when the page comes back is the delegate's choice.
class WebKitView : public GtkView<WebView>, public std::enable_shared_from_this<WebKitView> {
 public:
  WebKitView(HostDispatcher& dispatcher, Rect frame, double scriptTimeoutSeconds);
  ~WebKitView() override;

  WebKitWebView* engine() const { return engine_.get(); }

  void loadURL(const Url& url) override;
  void reload() override;
  Result<std::string> evaluateScript(std::string_view script,
                                     ScriptKind kind = ScriptKind::Call) override;

  static constexpr double kStartUpTimeFactor = 4;
  // The engine's inspector, in a window of its own, for game authors.
  void showDeveloperTools();

  // Forgets, shortly after, the cookies every web view holds for `host` and its
  // subdomains.
  static void deleteCookiesForHost(std::string_view host);

 private:
  // The toolkit's callbacks, with its signatures, live in the .cpp file.
  struct Signals;
  struct LoadRequest {
    std::string uri;
    NavigationType type;
  };

  // Under plain X servers (Xvfb) the engine can miss the size its view gets when the
  // window is first shown and keep painting the page into a single pixel, leaving the
  // window grey unless something on top (a fading launch image) happens to lay the view
  // out again. Allocating the view once more, through a different size so that the
  // engine cannot take it for no change, hands it the size again.
  void resendSize();

  static LoadRequest describe(WebKitNavigationAction* action);
  bool delegateAllows(const LoadRequest& request);
  // Puts a new window's address to the delegate (which opens links outside) and refuses
  // whatever it lets through.
  void decideNewWindow(const LoadRequest& request);
  // Runs `body` with this view through the dispatcher, unless the view is gone by then.
  void whenFree(std::function<void(WebKitView&)> body);

  HostDispatcher& dispatcher_;
  GObjectPtr<WebKitWebView> engine_;
  double scriptTimeoutSeconds_;
  // The address last given to loadURL.
  std::string requestedURI_;
  bool mainLoadFailed_ = false;
};

}  // namespace tumbla
