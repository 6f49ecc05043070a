#pragma once

#include "bridge/URLDispatcherDelegate.h"
#include "platform/Url.h"

namespace tumbla {

// Turns the page's command URLs into native calls. The page issues a command by starting
// to load a URL whose host names a service and whose path names the command; the host
// hands every load to `dispatchURL` and lets it go ahead only when this answers false.
class URLDispatcher {
 public:
  URLDispatcherDelegate* delegate() const { return delegate_; }
  // Not owned: the host owns the dispatcher and outlives it.
  void setDelegate(URLDispatcherDelegate* delegate) { delegate_ = delegate; }

  // True when the URL was handled (a command, or an outside link passed on to be opened
  // outside) and must not load; false for a URL without a host, such as the page itself.
  bool dispatchURL(const Url& url);

  void gameCenterCallback(const Url& url);
  void settingsCallback(const Url& url);
  void audioCallback(const Url& url);
  void undoCallback(const Url& url);
  void appCallback(const Url& url);
  void iVersionCallback(const Url& url);
  void iNotifyCallback(const Url& url);
  void iRateCallback(const Url& url);

 private:
  bool delegateHas(URLDispatcherDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }

  URLDispatcherDelegate* delegate_ = nullptr;
};

}  // namespace tumbla
