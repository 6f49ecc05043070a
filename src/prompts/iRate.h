#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Subscription.h"
#include "platform/Url.h"
#include "prompts/LifecycleTriggers.h"
#include "prompts/iRateDelegate.h"
#include "value/Date.h"

namespace tumbla {

// Asks the player to rate the game in the store once the installed version has been used
// long and often enough, after checking that the network answers. Counts uses and events
// per version and remembers the answer per version in the user defaults. Started by the
// platform's launch and return-to-foreground notifications.
class iRate {
 public:
  // The application context's instance, made on first use.
  static iRate& sharedInstance();
  // The context's instance if it has been made; never makes one.
  static iRate* existingInstance();

  iRate();
  ~iRate();
  iRate(const iRate&) = delete;
  iRate& operator=(const iRate&) = delete;

  // Settings.
  std::uint32_t appStoreID() const { return appStoreID_; }
  void setAppStoreID(std::uint32_t id) { appStoreID_ = id; }
  const std::optional<std::string>& applicationName() const { return applicationName_; }
  void setApplicationName(std::optional<std::string> name) { applicationName_ = std::move(name); }
  const std::optional<std::string>& applicationVersion() const { return applicationVersion_; }
  void setApplicationVersion(std::optional<std::string> v) { applicationVersion_ = std::move(v); }
  float daysUntilPrompt() const { return daysUntilPrompt_; }
  void setDaysUntilPrompt(float days) { daysUntilPrompt_ = days; }
  std::uint32_t usesUntilPrompt() const { return usesUntilPrompt_; }
  void setUsesUntilPrompt(std::uint32_t uses) { usesUntilPrompt_ = uses; }
  std::uint32_t eventsUntilPrompt() const { return eventsUntilPrompt_; }
  void setEventsUntilPrompt(std::uint32_t events) { eventsUntilPrompt_ = events; }
  float remindPeriod() const { return remindPeriod_; }
  void setRemindPeriod(float days) { remindPeriod_ = days; }
  std::string messageTitle() const;
  void setMessageTitle(std::optional<std::string> title) { messageTitle_ = std::move(title); }
  std::string message() const;
  void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
  const std::string& cancelButtonLabel() const { return cancelButtonLabel_; }
  void setCancelButtonLabel(std::string label) { cancelButtonLabel_ = std::move(label); }
  const std::string& rateButtonLabel() const { return rateButtonLabel_; }
  void setRateButtonLabel(std::string label) { rateButtonLabel_ = std::move(label); }
  const std::optional<std::string>& remindButtonLabel() const { return remindButtonLabel_; }
  void setRemindButtonLabel(std::optional<std::string> l) { remindButtonLabel_ = std::move(l); }
  // The review page; built from the store host and `appStoreID` unless set.
  std::string ratingsURL() const;
  // The store's review page of the item `id` on `storeHost`.
  static std::string reviewPageURL(std::string_view storeHost, std::uint32_t id);
  void setRatingsURL(std::optional<std::string> url) { ratingsURL_ = std::move(url); }
  const std::string& storeHost() const { return storeHost_; }
  void setStoreHost(std::string host) { storeHost_ = std::move(host); }
  // The page whose answer tells that the network is there; without one the probe fails.
  const std::string& probeURL() const { return probeURL_; }
  void setProbeURL(std::string url) { probeURL_ = std::move(url); }
  bool disabled() const { return disabled_; }
  void setDisabled(bool disabled) { disabled_ = disabled; }
  bool debug() const { return debug_; }
  void setDebug(bool debug) { debug_ = debug; }
  iRateDelegate* delegate() const { return delegate_; }
  // Not owned; the delegate clears itself before it goes.
  void setDelegate(iRateDelegate* delegate) { delegate_ = delegate; }

  // Persisted state.
  std::optional<Date> firstUsed() const;
  void setFirstUsed(std::optional<Date> date);
  std::optional<Date> lastReminded() const;
  void setLastReminded(std::optional<Date> date);
  std::uint32_t usesCount() const;
  void setUsesCount(std::uint32_t count);
  std::uint32_t eventCount() const;
  void setEventCount(std::uint32_t count);
  bool declinedThisVersion() const;
  void setDeclinedThisVersion(bool declined);
  bool ratedThisVersion() const;
  void setRatedThisVersion(bool rated);

  void applicationLaunched();
  void applicationWillEnterForeground();
  void incrementUseCount();
  void incrementEventCount();
  void logEvent(bool deferPrompt);
  bool shouldPromptForRating() const;
  void promptIfNetworkAvailable();
  void promptForRating();
  void openRatingsPageInAppStore();
  void alertDismissed(int buttonIndex);

  static constexpr double kProbeTimeoutSeconds = 10.0;

 private:
  bool delegateHas(iRateDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }
  void probeAnswered();

  std::uint32_t appStoreID_ = 0;
  std::optional<std::string> applicationName_;
  std::optional<std::string> applicationVersion_;
  float daysUntilPrompt_ = 10.0f;
  std::uint32_t usesUntilPrompt_ = 10;
  std::uint32_t eventsUntilPrompt_ = 10;
  float remindPeriod_ = 1.0f;
  std::optional<std::string> messageTitle_;
  std::optional<std::string> message_;
  std::string cancelButtonLabel_ = "No, Thanks";
  std::string rateButtonLabel_ = "Rate It Now";
  std::optional<std::string> remindButtonLabel_ = "Remind Me Later";
  std::optional<std::string> ratingsURL_;
  std::string storeHost_ = "itunes.apple.com";
  std::string probeURL_;
  bool disabled_ = false;
  bool debug_ = false;
  iRateDelegate* delegate_ = nullptr;

  LifecycleTriggers triggers_;
  Subscription probe_;
  Subscription alert_;
};

}  // namespace tumbla
