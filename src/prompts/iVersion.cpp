#include "prompts/iVersion.h"

#include <algorithm>
#include <vector>

#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "prompts/InfoDictionary.h"
#include "prompts/PromptClock.h"
#include "prompts/PromptStore.h"
#include "prompts/RemoteLists.h"
#include "prompts/VersionString.h"

namespace tumbla {

namespace {

constexpr const char* kLastVersionKey = "iVersionLastVersionChecked";
constexpr const char* kIgnoreVersionKey = "iVersionIgnoreVersion";
constexpr const char* kLastCheckedKey = "iVersionLastChecked";
constexpr const char* kLastRemindedKey = "iVersionLastReminded";

constexpr int kRemindButtonIndex = 2;
constexpr std::string_view kNoteSeparator = "\n\n";

using PromptClock::now;

// "%@" in the format replaced by the text, as the platform's formatting does.
std::string substitute(std::string_view format, std::string_view text) {
  std::string result(format);
  if (std::size_t at = result.find("%@"); at != std::string::npos) result.replace(at, 2, text);
  return result;
}

// Line feed, vertical tab, form feed, carriage return, U+0085, U+2028 and U+2029.
std::size_t lineBreakLengthAtEnd(std::string_view text) {
  for (std::string_view mark : {"\u0085", "\u2028", "\u2029"}) {
    if (text.ends_with(mark)) return mark.size();
  }
  char last = text.back();
  return last == '\n' || last == '\v' || last == '\f' || last == '\r' ? 1 : 0;
}

std::size_t lineBreakLengthAtStart(std::string_view text) {
  for (std::string_view mark : {"\u0085", "\u2028", "\u2029"}) {
    if (text.starts_with(mark)) return mark.size();
  }
  char first = text.front();
  return first == '\n' || first == '\v' || first == '\f' || first == '\r' ? 1 : 0;
}

std::string trimLineBreaks(std::string_view text) {
  while (!text.empty()) {
    std::size_t length = lineBreakLengthAtStart(text);
    if (length == 0) break;
    text.remove_prefix(length);
  }
  while (!text.empty()) {
    std::size_t length = lineBreakLengthAtEnd(text);
    if (length == 0) break;
    text.remove_suffix(length);
  }
  return std::string(text);
}

}  // namespace

iVersion& iVersion::sharedInstance() {
  return ApplicationContext::current().sharedInstance<iVersion>();
}

iVersion* iVersion::existingInstance() {
  return ApplicationContext::existingInstance<iVersion>();
}

iVersion::iVersion()
    : applicationName_(infoDictionaryString("CFBundleName")),
      applicationVersion_(infoDictionaryString("CFBundleVersion")),
      triggers_([this] { applicationLaunched(); }, [this] { applicationWillEnterForeground(); }) {}

iVersion::~iVersion() = default;

void iVersion::setLocalVersionsPlistPath(std::optional<std::string> path) {
  localPath_ = std::move(path);
  localVersionsDict_.reset();
}

std::string iVersion::updateAvailableTitle() const {
  if (updateAvailableTitle_) return *updateAvailableTitle_;
  return "A new version of " + applicationName_.value_or("(null)") + " is available to download";
}

std::string iVersion::updateURL() const {
  if (updateURL_) return *updateURL_;
  return "https://" + storeHost_ + "/app/id" + std::to_string(appStoreID_);
}

std::optional<std::string> iVersion::lastVersion() const {
  return PromptStore::string(kLastVersionKey);
}

void iVersion::setLastVersion(const std::optional<std::string>& version) {
  PromptStore::setString(kLastVersionKey, version);
}

bool iVersion::viewedVersionDetails() const {
  std::optional<std::string> last = lastVersion();
  return last && applicationVersion_ && *last == *applicationVersion_;
}

void iVersion::setViewedVersionDetails(bool viewed) {
  // Left to the platform's own schedule of writing, unlike the other records.
  PromptStore::setString(kLastVersionKey, viewed ? applicationVersion_ : std::nullopt, false);
}

std::optional<std::string> iVersion::ignoredVersion() const {
  return PromptStore::string(kIgnoreVersionKey);
}

void iVersion::setIgnoredVersion(const std::optional<std::string>& version) {
  PromptStore::setString(kIgnoreVersionKey, version);
}

std::optional<Date> iVersion::lastChecked() const {
  return PromptStore::date(kLastCheckedKey);
}

void iVersion::setLastChecked(std::optional<Date> date) {
  PromptStore::setDate(kLastCheckedKey, date);
}

std::optional<Date> iVersion::lastReminded() const {
  return PromptStore::date(kLastRemindedKey);
}

void iVersion::setLastReminded(std::optional<Date> date) {
  PromptStore::setDate(kLastRemindedKey, date);
}

std::optional<Dictionary> iVersion::localVersionsDict() {
  if (localVersionsDict_) return localVersionsDict_;
  if (!localPath_) {
    localVersionsDict_ = Dictionary{};
    return localVersionsDict_;
  }
  Platform& platform = Platform::shared();
  std::optional<std::string> path = platform.bundle().pathForResource(*localPath_, "");
  if (!path) return std::nullopt;
  Result<std::string> bytes = platform.bundle().readResource(*path);
  std::optional<Value> parsed = bytes ? platform.propertyLists().parse(*bytes) : std::nullopt;
  if (!parsed) return std::nullopt;
  Result<Dictionary> list = RemoteLists::readVersions(*parsed);
  if (!list) {
    logLine("the shipped versions list " + *localPath_ + " is not used: " + list.reason());
    return std::nullopt;
  }
  localVersionsDict_ = std::move(*list);
  return localVersionsDict_;
}

std::optional<std::string> iVersion::mostRecentVersionInDict(const Dictionary& dict) {
  std::optional<std::string_view> newest;
  for (const auto& entry : dict) {
    std::string_view version = entry.first.view();
    if (!newest || compareVersion(version, newest) >= 0) newest = version;
  }
  return newest ? std::optional<std::string>(*newest) : std::nullopt;
}

std::optional<std::string> iVersion::versionDetailsInDict(std::string_view version,
                                                          const Dictionary& dict) {
  const Value* notes = dict.find(version);
  if (!notes || !notes->arrayIf()) return std::nullopt;
  std::string text;
  bool first = true;
  for (const Value& note : *notes->arrayIf()) {
    if (!first) text += kNoteSeparator;
    first = false;
    if (auto line = note.stringIf()) text += *line;
  }
  return text;
}

std::optional<std::string> iVersion::versionDetailsSince(std::optional<std::string_view> version,
                                                         const Dictionary& dict) const {
  std::optional<std::string_view> reference =
      localDebug_ ? std::optional<std::string_view>("0") : version;
  std::vector<std::string_view> versions;
  for (const auto& entry : dict) versions.push_back(entry.first.view());
  std::stable_sort(versions.begin(), versions.end(), [](std::string_view a, std::string_view b) {
    return compareVersionDescending(a, b) < 0;
  });
  std::string text;
  bool any = false;
  for (std::string_view key : versions) {
    // An absent reference makes every listed version newer.
    if (reference && compareVersion(key, reference) != 1) continue;
    any = true;
    if (groupNotesByVersion_) {
      text += substitute(versionLabelFormat_, key);
      text += kNoteSeparator;
    }
    text += versionDetailsInDict(key, dict).value_or("");
    text += kNoteSeparator;
  }
  if (!any) return std::nullopt;
  return trimLineBreaks(text);
}

std::optional<std::string> iVersion::versionDetails() {
  if (versionDetails_) return versionDetails_;
  std::optional<Dictionary> local = localVersionsDict();
  if (!local) return std::nullopt;
  std::optional<std::string> details;
  if (viewedVersionDetails()) {
    details = versionDetailsInDict(*applicationVersion_, *local);
  } else {
    std::optional<std::string> last = lastVersion();
    details =
        versionDetailsSince(last ? std::optional<std::string_view>(*last) : std::nullopt, *local);
  }
  versionDetails_ = details;
  return details;
}

void iVersion::applicationLaunched() {
  if (!localChecksDisabled_) checkIfNewVersion();
  if (shouldCheckForNewVersion()) checkForNewVersion();
}

void iVersion::applicationWillEnterForeground() {
  if (shouldCheckForNewVersion()) checkForNewVersion();
}

void iVersion::checkIfNewVersion() {
  std::optional<std::string> last = lastVersion();
  if (!last && !showOnFirstLaunch_ && !localDebug_) {
    // The first launch ever: the installed version counts as seen.
    setViewedVersionDetails(true);
    return;
  }
  std::optional<std::string_view> installed =
      applicationVersion_ ? std::optional<std::string_view>(*applicationVersion_) : std::nullopt;
  std::optional<std::string_view> recorded =
      last ? std::optional<std::string_view>(*last) : std::nullopt;
  if (compareVersion(installed, recorded) != 1 && !localDebug_) return;
  // A new installed version clears a pending update reminder.
  setLastReminded(std::nullopt);
  std::optional<std::string> details = versionDetails();
  if (!details) return;
  if (delegateHas(iVersionDelegate::Optional::ShouldDisplayCurrentVersionDetails) &&
      !delegate_->iVersionShouldDisplayCurrentVersionDetails(*details)) {
    return;
  }
  alert_ = Platform::shared().userInterface().showAlert(
      {inThisVersionTitle_, *details, {okButtonLabel_}, 0}, [this](int) { localAlertDismissed(); });
}

bool iVersion::shouldCheckForNewVersion() {
  if (remoteChecksDisabled_) return false;
  if (!remoteDebug_ &&
      !RemoteCheck::isDue(lastReminded(), remindPeriod_, lastChecked(), checkPeriod_)) {
    return false;
  }
  if (delegateHas(iVersionDelegate::Optional::ShouldCheckForNewVersion)) {
    return delegate_->iVersionShouldCheckForNewVersion();
  }
  return true;
}

void iVersion::checkForNewVersion() {
  remoteCheck_.start(
      remoteURL_, RemoteLists::readVersions,
      {[this](std::optional<Error> error) { setDownloadError(std::move(error)); },
       [this](std::optional<Dictionary> list) { setRemoteVersionsDict(std::move(list)); },
       [this] { setLastChecked(now()); }, [this] { downloadedVersionsData(); }});
}

void iVersion::downloadedVersionsData() {
  if (!remoteVersionsDict_) {
    RemoteCheck::logFailure("a new version", remoteURL_, downloadError_);
    if (delegateHas(iVersionDelegate::Optional::VersionCheckFailed)) {
      delegate_->iVersionVersionCheckFailed(downloadError_);
    }
    return;
  }
  std::optional<std::string_view> installed =
      applicationVersion_ ? std::optional<std::string_view>(*applicationVersion_) : std::nullopt;
  std::optional<std::string> details = versionDetailsSince(installed, *remoteVersionsDict_);
  std::optional<std::string> newest = mostRecentVersionInDict(*remoteVersionsDict_);
  if (!details || !newest) return;
  if (delegateHas(iVersionDelegate::Optional::DetectedNewVersion)) {
    delegate_->iVersionDetectedNewVersion(*newest, *details);
  }
  if (ignoredVersion() == newest && !remoteDebug_) return;
  if (delegateHas(iVersionDelegate::Optional::ShouldDisplayNewVersion) &&
      !delegate_->iVersionShouldDisplayNewVersion(*newest, *details)) {
    return;
  }
  Alert alert{updateAvailableTitle(), *details, {ignoreButtonLabel_, downloadButtonLabel_}, 0};
  if (remindButtonLabel_) alert.buttons.push_back(*remindButtonLabel_);
  alert_ = Platform::shared().userInterface().showAlert(
      std::move(alert), [this](int buttonIndex) { updateAlertDismissed(buttonIndex); });
}

void iVersion::localAlertDismissed() {
  setViewedVersionDetails(true);
}

void iVersion::updateAlertDismissed(int buttonIndex) {
  if (buttonIndex == 0) {
    setIgnoredVersion(remoteVersionsDict_ ? mostRecentVersionInDict(*remoteVersionsDict_)
                                          : std::nullopt);
    setLastReminded(std::nullopt);
  } else if (buttonIndex == kRemindButtonIndex) {
    setLastReminded(now());
  } else {
    setLastReminded(std::nullopt);
    openAppPageInAppStore();
  }
}

void iVersion::openAppPageInAppStore() {
  std::string address = updateURL();
  std::optional<Url> url = Url::parse(address);
  if (!url || !Platform::shared().application().openURL(*url)) {
    logLine("can't open the game's store page " + address);
  }
}

}  // namespace tumbla
