#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Subscription.h"
#include "prompts/LifecycleTriggers.h"
#include "prompts/RemoteCheck.h"
#include "prompts/iNotifyDelegate.h"
#include "prompts/iNotifyKeys.h"
#include "value/Date.h"
#include "value/Value.h"

namespace tumbla {

// Shows short notices published on the web after the release, one at a time: at most
// every `checkPeriod` days it downloads the notices list, drops the notices the player
// ignored or viewed, and shows the next by the order of their keys, with an optional
// action button that opens a web address. Started by the platform's launch and
// return-to-foreground notifications; checks run in the background (see RemoteCheck).
class iNotify {
 public:
  static iNotify& sharedInstance();
  // The context's instance if it has been made; never makes one.
  static iNotify* existingInstance();

  iNotify();
  ~iNotify();
  iNotify(const iNotify&) = delete;
  iNotify& operator=(const iNotify&) = delete;

  // Settings.
  const std::optional<std::string>& notificationsPlistURL() const { return url_; }
  void setNotificationsPlistURL(std::optional<std::string> url) { url_ = std::move(url); }
  bool showOldestFirst() const { return showOldestFirst_; }
  void setShowOldestFirst(bool oldestFirst) { showOldestFirst_ = oldestFirst; }
  bool showOnFirstLaunch() const { return showOnFirstLaunch_; }
  void setShowOnFirstLaunch(bool show) { showOnFirstLaunch_ = show; }
  float checkPeriod() const { return checkPeriod_; }
  void setCheckPeriod(float days) { checkPeriod_ = days; }
  float remindPeriod() const { return remindPeriod_; }
  void setRemindPeriod(float days) { remindPeriod_ = days; }
  const std::string& okButtonLabel() const { return okButtonLabel_; }
  void setOkButtonLabel(std::string label) { okButtonLabel_ = std::move(label); }
  const std::string& ignoreButtonLabel() const { return ignoreButtonLabel_; }
  void setIgnoreButtonLabel(std::string label) { ignoreButtonLabel_ = std::move(label); }
  const std::string& remindButtonLabel() const { return remindButtonLabel_; }
  void setRemindButtonLabel(std::string label) { remindButtonLabel_ = std::move(label); }
  const std::string& defaultActionButtonLabel() const { return defaultActionButtonLabel_; }
  void setDefaultActionButtonLabel(std::string l) { defaultActionButtonLabel_ = std::move(l); }
  bool disabled() const { return disabled_; }
  void setDisabled(bool disabled) { disabled_ = disabled; }
  bool debug() const { return debug_; }
  void setDebug(bool debug) { debug_ = debug; }
  iNotifyDelegate* delegate() const { return delegate_; }
  // Not owned; the delegate clears itself before it goes.
  void setDelegate(iNotifyDelegate* delegate) { delegate_ = delegate; }

  // Working values.
  const std::optional<Dictionary>& notificationsDict() const { return notificationsDict_; }
  // Holds the list less the notices ignored or viewed (see the debug setting).
  void setNotificationsDict(std::optional<Dictionary> dict);
  const std::optional<Error>& downloadError() const { return downloadError_; }
  void setDownloadError(std::optional<Error> error) { downloadError_ = std::move(error); }

  // Persisted state.
  std::vector<std::string> ignoredNotifications() const;
  // Nothing stores an empty list.
  void setIgnoredNotifications(const std::optional<std::vector<std::string>>& keys);
  std::vector<std::string> viewedNotifications() const;
  // Nothing removes the record.
  void setViewedNotifications(std::optional<std::vector<std::string>> keys);
  std::optional<Date> lastChecked() const;
  void setLastChecked(std::optional<Date> date);
  std::optional<Date> lastReminded() const;
  void setLastReminded(std::optional<Date> date);
  // Add the key to the record; an absent key records nothing.
  void setNotificationIgnored(const std::optional<std::string>& key);
  void setNotificationViewed(const std::optional<std::string>& key);

  // The key of the notice to show next: the last in case-insensitive order, or the first
  // with `showOldestFirst`.
  std::optional<std::string> nextNotificationInDict(const Dictionary& dict) const;

  void applicationLaunched();
  void applicationWillEnterForeground();
  bool shouldCheckForNotifications();
  void checkForNotifications();
  void downloadedNotificationsData();

 private:
  bool delegateHas(iNotifyDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }
  void alertDismissed(const std::string& key, const std::optional<std::string>& actionURL,
                      int buttonIndex, int cancelButtonIndex);

  std::optional<std::string> url_;
  bool showOldestFirst_ = false;
  bool showOnFirstLaunch_ = false;
  float checkPeriod_ = 0.5f;
  float remindPeriod_ = 1.0f;
  std::string okButtonLabel_ = "OK";
  std::string ignoreButtonLabel_ = "Ignore";
  std::string remindButtonLabel_ = "Remind Me Later";
  std::string defaultActionButtonLabel_ = "More...";
  bool disabled_ = false;
  bool debug_ = false;
  iNotifyDelegate* delegate_ = nullptr;

  std::optional<Dictionary> notificationsDict_;
  std::optional<Error> downloadError_;

  LifecycleTriggers triggers_;
  Subscription alert_;
  // Last, so that a check in flight stops before anything it hands over to goes.
  RemoteCheck remoteCheck_;
};

}  // namespace tumbla
