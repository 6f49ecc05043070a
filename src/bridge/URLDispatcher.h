#pragma once

#include <map>
#include <string>
#include <string_view>

#include "bridge/URLDispatcherDelegate.h"
#include "platform/Url.h"
#include "prompts/iNotifyDelegate.h"
#include "prompts/iRateDelegate.h"
#include "prompts/iVersionDelegate.h"

namespace tumbla {

// Turns the page's command URLs into native calls. The page issues a command by starting
// to load a URL whose host names a service and whose path names the command; the host
// hands every load to `dispatchURL` and lets it go ahead only when this answers false.
//
// It is also the delegate of the three prompt components: it shows none of their native
// alerts, and asks the page to show each prompt in the game's own style instead; the
// page's answers come back as commands that it records in the components.
class URLDispatcher : public iRateDelegate, public iVersionDelegate, public iNotifyDelegate {
 public:
  URLDispatcher() = default;
  // Stops being the prompt components' delegate.
  ~URLDispatcher() override;
  URLDispatcher(const URLDispatcher&) = delete;
  URLDispatcher& operator=(const URLDispatcher&) = delete;

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

  // The prompts, handed to the page; each answers false, so the component shows nothing.
  bool respondsTo(iRateDelegate::Optional operation) const override;
  bool respondsTo(iVersionDelegate::Optional operation) const override;
  bool respondsTo(iNotifyDelegate::Optional operation) const override;
  bool iRateShouldShouldPromptForRating() override;
  bool iVersionShouldDisplayNewVersion(const std::string& version,
                                       const std::string& details) override;
  bool iVersionShouldDisplayCurrentVersionDetails(const std::string& details) override;
  bool iNotifyShouldDisplayNotificationWithKey(const std::string& key,
                                               const Dictionary& details) override;

  // A store version whose last number packs two levels ("1.25") in its displayed form
  // ("1.2.5"); see the definition for the arithmetic.
  static std::string processedVersionNumber(std::string_view version);

 private:
  void executeJavaScript(const std::string& script) {
    if (delegate_) delegate_->executeJavaScript(script);
  }
  bool delegateHas(URLDispatcherDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }

  URLDispatcherDelegate* delegate_ = nullptr;
  // The versions shown to the page ("1.2.5") and the list keys they came from ("1.25"), so
  // that the page's answer in either form records the key.
  std::map<std::string, std::string, std::less<>> shownVersionKeys_;
};

}  // namespace tumbla
