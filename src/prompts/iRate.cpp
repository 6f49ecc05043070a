#include "prompts/iRate.h"

#include <cstdint>
#include <limits>

#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "prompts/InfoDictionary.h"
#include "prompts/PromptClock.h"
#include "prompts/PromptStore.h"
#include "prompts/RemoteCheck.h"

namespace tumbla {

namespace {

constexpr const char* kFirstUsedKey = "iRateFirstUsed";
constexpr const char* kUseCountKey = "iRateUseCount";
constexpr const char* kEventCountKey = "iRateEventCount";
constexpr const char* kLastRemindedKey = "iRateLastReminded";
constexpr const char* kLastVersionUsedKey = "iRateLastVersionUsed";
constexpr const char* kRatedVersionKey = "iRateRatedVersionChecked";
constexpr const char* kDeclinedVersionKey = "iRateDeclinedVersion";

constexpr int kRemindButtonIndex = 2;
// As good as no bound: the largest length an HTTP answer can announce (lengths travel as
// signed 64-bit numbers).
constexpr std::size_t kUnboundedProbeBytes = std::numeric_limits<std::int64_t>::max();

using PromptClock::now;

}  // namespace

iRate& iRate::sharedInstance() {
  return ApplicationContext::current().sharedInstance<iRate>();
}

iRate* iRate::existingInstance() {
  return ApplicationContext::existingInstance<iRate>();
}

iRate::iRate()
    : applicationName_(infoDictionaryString("CFBundleName")),
      applicationVersion_(infoDictionaryString("CFBundleVersion")),
      triggers_([this] { applicationLaunched(); }, [this] { applicationWillEnterForeground(); }) {}

iRate::~iRate() = default;

std::string iRate::messageTitle() const {
  if (messageTitle_) return *messageTitle_;
  return "Rate " + applicationName_.value_or("(null)");
}

std::string iRate::message() const {
  if (message_) return *message_;
  return "If you enjoy using " + applicationName_.value_or("(null)") +
         ", would you mind taking a moment to rate it? It won't take more than a minute. "
         "Thanks for your support!";
}

std::string iRate::ratingsURL() const {
  if (ratingsURL_) return *ratingsURL_;
  return reviewPageURL(storeHost_, appStoreID_);
}

std::string iRate::reviewPageURL(std::string_view storeHost, std::uint32_t id) {
  return "https://" + std::string(storeHost) +
         "/WebObjects/MZStore.woa/wa/viewContentsUserReviews?type=Purple+Software&id=" +
         std::to_string(id);
}

std::optional<Date> iRate::firstUsed() const {
  return PromptStore::date(kFirstUsedKey);
}

void iRate::setFirstUsed(std::optional<Date> date) {
  PromptStore::setDate(kFirstUsedKey, date);
}

std::optional<Date> iRate::lastReminded() const {
  return PromptStore::date(kLastRemindedKey);
}

void iRate::setLastReminded(std::optional<Date> date) {
  PromptStore::setDate(kLastRemindedKey, date);
}

std::uint32_t iRate::usesCount() const {
  return PromptStore::count(kUseCountKey);
}

void iRate::setUsesCount(std::uint32_t count) {
  PromptStore::set(kUseCountKey, Value::integer(count));
}

std::uint32_t iRate::eventCount() const {
  return PromptStore::count(kEventCountKey);
}

void iRate::setEventCount(std::uint32_t count) {
  PromptStore::set(kEventCountKey, Value::integer(count));
}

bool iRate::declinedThisVersion() const {
  std::optional<std::string> declined = PromptStore::string(kDeclinedVersionKey);
  return declined && applicationVersion_ && *declined == *applicationVersion_;
}

void iRate::setDeclinedThisVersion(bool declined) {
  PromptStore::setString(kDeclinedVersionKey, declined ? applicationVersion_ : std::nullopt);
}

bool iRate::ratedThisVersion() const {
  std::optional<std::string> rated = PromptStore::string(kRatedVersionKey);
  return rated && applicationVersion_ && *rated == *applicationVersion_;
}

void iRate::setRatedThisVersion(bool rated) {
  PromptStore::setString(kRatedVersionKey, rated ? applicationVersion_ : std::nullopt);
}

void iRate::applicationLaunched() {
  std::optional<std::string> lastVersion = PromptStore::string(kLastVersionUsedKey);
  if (!lastVersion || !applicationVersion_ || *lastVersion != *applicationVersion_) {
    // The first launch of this version: its counting starts now.
    PromptStore::setString(kLastVersionUsedKey, applicationVersion_, false);
    PromptStore::setDate(kFirstUsedKey, now(), false);
    PromptStore::set(kUseCountKey, Value::integer(0), false);
    PromptStore::set(kEventCountKey, Value::integer(0), false);
    PromptStore::set(kLastRemindedKey, std::nullopt, false);
    PromptStore::synchronize();
  }
  incrementUseCount();
  if (shouldPromptForRating()) promptIfNetworkAvailable();
}

void iRate::applicationWillEnterForeground() {
  incrementUseCount();
  if (shouldPromptForRating()) promptIfNetworkAvailable();
}

void iRate::incrementUseCount() {
  setUsesCount(usesCount() + 1);
}

void iRate::incrementEventCount() {
  setEventCount(eventCount() + 1);
}

void iRate::logEvent(bool deferPrompt) {
  incrementEventCount();
  if (!deferPrompt && shouldPromptForRating()) promptIfNetworkAvailable();
}

bool iRate::shouldPromptForRating() const {
  if (disabled_) return false;
  if (debug_) return true;
  if (ratedThisVersion() || declinedThisVersion()) return false;
  std::optional<Date> first = firstUsed();
  if (!first) return false;
  if (!PromptClock::periodHasPassed(first, daysUntilPrompt_)) return false;
  if (usesCount() < usesUntilPrompt_ && eventCount() < eventsUntilPrompt_) return false;
  return PromptClock::periodHasPassed(lastReminded(), remindPeriod_);
}

void iRate::promptIfNetworkAvailable() {
  UrlRequest request;
  request.url = probeURL_;
  request.timeoutSeconds = kProbeTimeoutSeconds;
  // Only the response matters, and the load ends when it arrives: no bound on the page,
  // which a large page would break by its announced length before its answer is seen.
  request.maxBodyBytes = kUnboundedProbeBytes;
  UrlConnectionHandlers handlers;
  handlers.didReceiveResponse = [this](const UrlResponse&) { probeAnswered(); };
  handlers.didFail = [this](const Error& error) {
    RemoteCheck::logFailure("the network", probeURL_, error);
    if (delegateHas(iRateDelegate::Optional::CouldNotConnectToAppStore)) {
      delegate_->iRateCouldNotConnectToAppStore(error);
    }
  };
  // A probe still running from an earlier trigger gives way: one prompt per answer.
  probe_ = Platform::shared().urlLoader().start(std::move(request), std::move(handlers));
}

void iRate::probeAnswered() {
  probe_.cancel();
  if (delegateHas(iRateDelegate::Optional::ShouldPromptForRating) &&
      !delegate_->iRateShouldShouldPromptForRating()) {
    return;
  }
  promptForRating();
}

void iRate::promptForRating() {
  Alert alert{messageTitle(), message(), {cancelButtonLabel_, rateButtonLabel_}, 0};
  if (remindButtonLabel_) alert.buttons.push_back(*remindButtonLabel_);
  alert_ = Platform::shared().userInterface().showAlert(
      std::move(alert), [this](int buttonIndex) { alertDismissed(buttonIndex); });
}

void iRate::alertDismissed(int buttonIndex) {
  if (buttonIndex == 0) {
    setDeclinedThisVersion(true);
  } else if (buttonIndex == kRemindButtonIndex) {
    setLastReminded(now());
  } else {
    setRatedThisVersion(true);
    openRatingsPageInAppStore();
  }
}

void iRate::openRatingsPageInAppStore() {
  std::string address = ratingsURL();
  std::optional<Url> url = Url::parse(address);
  if (!url || !Platform::shared().application().openURL(*url)) {
    logLine("can't open the store's review page " + address);
  }
}

}  // namespace tumbla
