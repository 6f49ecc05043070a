#include "prompts/iNotify.h"

#include <algorithm>

#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "prompts/InfoDictionary.h"
#include "prompts/PromptClock.h"
#include "prompts/PromptStore.h"
#include "prompts/RemoteLists.h"
#include "value/Ascii.h"

namespace tumbla {

namespace {

constexpr const char* kIgnoredKey = "iNotifyIgnoredNotifications";
constexpr const char* kViewedKey = "iNotifyViewedNotifications";
constexpr const char* kLastCheckedKey = "iNotifyLastChecked";
constexpr const char* kLastRemindedKey = "iNotifyLastReminded";

constexpr int kRemindButtonIndex = 1;

using PromptClock::now;

std::vector<std::string> storedKeys(std::string_view key) {
  std::vector<std::string> keys;
  if (const Array* stored = Platform::shared().userDefaults().arrayForKey(key)) {
    for (const Value& entry : *stored) {
      if (auto text = entry.stringIf()) keys.emplace_back(*text);
    }
  }
  return keys;
}

Value keysValue(const std::vector<std::string>& keys) {
  Array array;
  for (const std::string& key : keys) array.push_back(Value(key));
  return Value(std::move(array));
}

bool caseInsensitiveLess(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(asciiLower(x)) < static_cast<unsigned char>(asciiLower(y));
  });
}

std::optional<std::string> entry(const Dictionary& notice, std::string_view key) {
  const Value* value = notice.find(key);
  if (!value || !value->stringIf()) return std::nullopt;
  return std::string(*value->stringIf());
}

}  // namespace

iNotify& iNotify::sharedInstance() {
  return ApplicationContext::current().sharedInstance<iNotify>();
}

iNotify* iNotify::existingInstance() {
  return ApplicationContext::existingInstance<iNotify>();
}

iNotify::iNotify()
    : triggers_([this] { applicationLaunched(); }, [this] { applicationWillEnterForeground(); }) {}

iNotify::~iNotify() = default;

std::vector<std::string> iNotify::ignoredNotifications() const {
  return storedKeys(kIgnoredKey);
}

void iNotify::setIgnoredNotifications(const std::optional<std::vector<std::string>>& keys) {
  // The record exists from then on, even empty: it also marks that the first launch passed.
  PromptStore::set(kIgnoredKey, keysValue(keys.value_or(std::vector<std::string>{})));
}

std::vector<std::string> iNotify::viewedNotifications() const {
  return storedKeys(kViewedKey);
}

void iNotify::setViewedNotifications(std::optional<std::vector<std::string>> keys) {
  PromptStore::set(kViewedKey, keys ? std::optional<Value>(keysValue(*keys)) : std::nullopt);
}

std::optional<Date> iNotify::lastChecked() const {
  return PromptStore::date(kLastCheckedKey);
}

void iNotify::setLastChecked(std::optional<Date> date) {
  PromptStore::setDate(kLastCheckedKey, date);
}

std::optional<Date> iNotify::lastReminded() const {
  return PromptStore::date(kLastRemindedKey);
}

void iNotify::setLastReminded(std::optional<Date> date) {
  PromptStore::setDate(kLastRemindedKey, date);
}

void iNotify::setNotificationIgnored(const std::optional<std::string>& key) {
  if (!key) return;
  std::vector<std::string> keys = ignoredNotifications();
  keys.push_back(*key);
  setIgnoredNotifications(std::move(keys));
}

void iNotify::setNotificationViewed(const std::optional<std::string>& key) {
  if (!key) return;
  std::vector<std::string> keys = viewedNotifications();
  keys.push_back(*key);
  setViewedNotifications(std::move(keys));
}

void iNotify::setNotificationsDict(std::optional<Dictionary> dict) {
  if (!dict) {
    notificationsDict_.reset();
    return;
  }
  Dictionary filtered = *dict;
  for (const std::string& key : ignoredNotifications()) filtered.erase(key);
  for (const std::string& key : viewedNotifications()) filtered.erase(key);
  if (debug_ && !dict->empty() && filtered.empty()) {
    // In debug mode the notices start over once all have been seen.
    setIgnoredNotifications(std::nullopt);
    setViewedNotifications(std::nullopt);
    filtered = *dict;
  }
  notificationsDict_ = std::move(filtered);
}

std::optional<std::string> iNotify::nextNotificationInDict(const Dictionary& dict) const {
  std::vector<std::string_view> keys;
  for (const auto& entry : dict) keys.push_back(entry.first.view());
  if (keys.empty()) return std::nullopt;
  std::stable_sort(keys.begin(), keys.end(), caseInsensitiveLess);
  return std::string(showOldestFirst_ ? keys.front() : keys.back());
}

void iNotify::applicationLaunched() {
  if (shouldCheckForNotifications()) checkForNotifications();
}

void iNotify::applicationWillEnterForeground() {
  if (shouldCheckForNotifications()) checkForNotifications();
}

bool iNotify::shouldCheckForNotifications() {
  if (disabled_) return false;
  if (!debug_) {
    if (!showOnFirstLaunch_ && !Platform::shared().userDefaults().objectForKey(kIgnoredKey)) {
      // The first launch ever only leaves its mark; the next trigger may check.
      setIgnoredNotifications(std::nullopt);
      return false;
    }
    if (!RemoteCheck::isDue(lastReminded(), remindPeriod_, lastChecked(), checkPeriod_)) {
      return false;
    }
  }
  if (delegateHas(iNotifyDelegate::Optional::ShouldCheckForNotifications)) {
    return delegate_->iNotifyShouldCheckForNotifications();
  }
  return true;
}

void iNotify::checkForNotifications() {
  remoteCheck_.start(
      url_, RemoteLists::readNotices,
      {[this](std::optional<Error> error) { setDownloadError(std::move(error)); },
       [this](std::optional<Dictionary> list) { setNotificationsDict(std::move(list)); },
       [this] { setLastChecked(now()); }, [this] { downloadedNotificationsData(); }});
}

void iNotify::downloadedNotificationsData() {
  if (!notificationsDict_) {
    RemoteCheck::logFailure("notices", url_, downloadError_);
    if (delegateHas(iNotifyDelegate::Optional::NotificationsCheckFailed)) {
      delegate_->iNotifyNotificationsCheckFailed(downloadError_);
    }
    return;
  }
  if (delegateHas(iNotifyDelegate::Optional::DetectedNotifications)) {
    delegate_->iNotifyDetectedNotifications(*notificationsDict_);
  }
  std::optional<std::string> key = nextNotificationInDict(*notificationsDict_);
  if (!key) return;
  const Value* held = notificationsDict_->find(*key);
  Dictionary notice = held && held->dictionaryIf() ? *held->dictionaryIf() : Dictionary{};
  if (delegateHas(iNotifyDelegate::Optional::ShouldDisplayNotification) &&
      !delegate_->iNotifyShouldDisplayNotificationWithKey(*key, notice)) {
    return;
  }
  std::optional<std::string> actionURL = entry(notice, iNotifyActionURLKey);
  Alert alert{entry(notice, iNotifyTitleKey).value_or(""),
              entry(notice, iNotifyMessageKey).value_or(""),
              {},
              0};
  if (actionURL) {
    alert.buttons = {entry(notice, iNotifyActionButtonKey).value_or(defaultActionButtonLabel_),
                     remindButtonLabel_, ignoreButtonLabel_};
    alert.cancelButtonIndex = 2;
  } else {
    alert.buttons = {okButtonLabel_};
  }
  int cancelIndex = *alert.cancelButtonIndex;
  alert_ = Platform::shared().userInterface().showAlert(
      std::move(alert), [this, key = *key, actionURL, cancelIndex](int buttonIndex) {
        alertDismissed(key, actionURL, buttonIndex, cancelIndex);
      });
}

void iNotify::alertDismissed(const std::string& key, const std::optional<std::string>& actionURL,
                             int buttonIndex, int cancelButtonIndex) {
  if (buttonIndex == cancelButtonIndex) {
    if (actionURL) {
      setNotificationIgnored(key);
    } else {
      setNotificationViewed(key);
    }
    setLastReminded(std::nullopt);
  } else if (buttonIndex == kRemindButtonIndex) {
    setLastReminded(now());
  } else {
    setNotificationViewed(key);
    setLastReminded(std::nullopt);
    // An address from the web is opened only when it is a web address.
    std::optional<Url> url =
        actionURL && isWebAddress(*actionURL) ? Url::parse(*actionURL) : std::nullopt;
    if (!url || !Platform::shared().application().openURL(*url)) {
      logLine("the notice's address is not opened: " + actionURL.value_or("(none)"));
    }
  }
}

}  // namespace tumbla
