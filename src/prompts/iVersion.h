#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Subscription.h"
#include "prompts/LifecycleTriggers.h"
#include "prompts/RemoteCheck.h"
#include "prompts/iVersionDelegate.h"
#include "value/Date.h"
#include "value/Value.h"

namespace tumbla {

// Tells the player about versions: the release notes of a newly installed version, from
// a versions list shipped in the bundle, once; and, at most every `checkPeriod` days, a
// newer version found in a versions list on the web. A versions list maps version strings
// to arrays of notes. Started by the platform's launch and return-to-foreground
// notifications; remote checks run in the background (see RemoteCheck).
class iVersion {
 public:
  static iVersion& sharedInstance();
  // The context's instance if it has been made; never makes one.
  static iVersion* existingInstance();

  iVersion();
  ~iVersion();
  iVersion(const iVersion&) = delete;
  iVersion& operator=(const iVersion&) = delete;

  // Settings.
  std::uint32_t appStoreID() const { return appStoreID_; }
  void setAppStoreID(std::uint32_t id) { appStoreID_ = id; }
  const std::optional<std::string>& remoteVersionsPlistURL() const { return remoteURL_; }
  void setRemoteVersionsPlistURL(std::optional<std::string> url) { remoteURL_ = std::move(url); }
  const std::optional<std::string>& localVersionsPlistPath() const { return localPath_; }
  void setLocalVersionsPlistPath(std::optional<std::string> path);
  const std::optional<std::string>& applicationName() const { return applicationName_; }
  void setApplicationName(std::optional<std::string> name) { applicationName_ = std::move(name); }
  const std::optional<std::string>& applicationVersion() const { return applicationVersion_; }
  void setApplicationVersion(std::optional<std::string> v) { applicationVersion_ = std::move(v); }
  bool showOnFirstLaunch() const { return showOnFirstLaunch_; }
  void setShowOnFirstLaunch(bool show) { showOnFirstLaunch_ = show; }
  bool groupNotesByVersion() const { return groupNotesByVersion_; }
  void setGroupNotesByVersion(bool group) { groupNotesByVersion_ = group; }
  float checkPeriod() const { return checkPeriod_; }
  void setCheckPeriod(float days) { checkPeriod_ = days; }
  float remindPeriod() const { return remindPeriod_; }
  void setRemindPeriod(float days) { remindPeriod_ = days; }
  const std::string& inThisVersionTitle() const { return inThisVersionTitle_; }
  void setInThisVersionTitle(std::string title) { inThisVersionTitle_ = std::move(title); }
  std::string updateAvailableTitle() const;
  void setUpdateAvailableTitle(std::optional<std::string> t) {
    updateAvailableTitle_ = std::move(t);
  }
  const std::string& versionLabelFormat() const { return versionLabelFormat_; }
  void setVersionLabelFormat(std::string format) { versionLabelFormat_ = std::move(format); }
  const std::string& okButtonLabel() const { return okButtonLabel_; }
  void setOkButtonLabel(std::string label) { okButtonLabel_ = std::move(label); }
  const std::string& ignoreButtonLabel() const { return ignoreButtonLabel_; }
  void setIgnoreButtonLabel(std::string label) { ignoreButtonLabel_ = std::move(label); }
  const std::string& downloadButtonLabel() const { return downloadButtonLabel_; }
  void setDownloadButtonLabel(std::string label) { downloadButtonLabel_ = std::move(label); }
  const std::optional<std::string>& remindButtonLabel() const { return remindButtonLabel_; }
  void setRemindButtonLabel(std::optional<std::string> l) { remindButtonLabel_ = std::move(l); }
  bool localChecksDisabled() const { return localChecksDisabled_; }
  void setLocalChecksDisabled(bool disabled) { localChecksDisabled_ = disabled; }
  bool remoteChecksDisabled() const { return remoteChecksDisabled_; }
  void setRemoteChecksDisabled(bool disabled) { remoteChecksDisabled_ = disabled; }
  bool localDebug() const { return localDebug_; }
  void setLocalDebug(bool debug) { localDebug_ = debug; }
  bool remoteDebug() const { return remoteDebug_; }
  void setRemoteDebug(bool debug) { remoteDebug_ = debug; }
  // The game's store page; built from the store host and `appStoreID` unless set.
  std::string updateURL() const;
  void setUpdateURL(std::optional<std::string> url) { updateURL_ = std::move(url); }
  const std::string& storeHost() const { return storeHost_; }
  void setStoreHost(std::string host) { storeHost_ = std::move(host); }
  iVersionDelegate* delegate() const { return delegate_; }
  // Not owned; the delegate clears itself before it goes.
  void setDelegate(iVersionDelegate* delegate) { delegate_ = delegate; }

  // Working values.
  const std::optional<Dictionary>& remoteVersionsDict() const { return remoteVersionsDict_; }
  void setRemoteVersionsDict(std::optional<Dictionary> dict) {
    remoteVersionsDict_ = std::move(dict);
  }
  const std::optional<Error>& downloadError() const { return downloadError_; }
  void setDownloadError(std::optional<Error> error) { downloadError_ = std::move(error); }
  std::optional<std::string> versionDetails();
  void setVersionDetails(std::optional<std::string> details) {
    versionDetails_ = std::move(details);
  }

  // Persisted state.
  std::optional<std::string> lastVersion() const;
  void setLastVersion(const std::optional<std::string>& version);
  bool viewedVersionDetails() const;
  void setViewedVersionDetails(bool viewed);
  std::optional<std::string> ignoredVersion() const;
  void setIgnoredVersion(const std::optional<std::string>& version);
  std::optional<Date> lastChecked() const;
  void setLastChecked(std::optional<Date> date);
  std::optional<Date> lastReminded() const;
  void setLastReminded(std::optional<Date> date);

  // The shipped versions list; nothing while it can't be read (the next use tries again).
  std::optional<Dictionary> localVersionsDict();
  // The newest version of the list; nothing for an empty list.
  static std::optional<std::string> mostRecentVersionInDict(const Dictionary& dict);
  // The notes of one version, joined by blank lines.
  static std::optional<std::string> versionDetailsInDict(std::string_view version,
                                                         const Dictionary& dict);
  // The notes of every version newer than `version` (every version with local debug on),
  // newest first, each headed by its label when grouped.
  std::optional<std::string> versionDetailsSince(std::optional<std::string_view> version,
                                                 const Dictionary& dict) const;

  void applicationLaunched();
  void applicationWillEnterForeground();
  void checkIfNewVersion();
  bool shouldCheckForNewVersion();
  void checkForNewVersion();
  void downloadedVersionsData();
  void openAppPageInAppStore();

 private:
  bool delegateHas(iVersionDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }
  void localAlertDismissed();
  void updateAlertDismissed(int buttonIndex);

  std::uint32_t appStoreID_ = 0;
  std::optional<std::string> remoteURL_;
  std::optional<std::string> localPath_;
  std::optional<std::string> applicationName_;
  std::optional<std::string> applicationVersion_;
  bool showOnFirstLaunch_ = false;
  bool groupNotesByVersion_ = true;
  float checkPeriod_ = 0.5f;
  float remindPeriod_ = 1.0f;
  std::string inThisVersionTitle_ = "New in this version";
  std::optional<std::string> updateAvailableTitle_;
  std::string versionLabelFormat_ = "Version %@";
  std::string okButtonLabel_ = "OK";
  std::string ignoreButtonLabel_ = "Ignore";
  std::string downloadButtonLabel_ = "Download";
  std::optional<std::string> remindButtonLabel_ = "Remind Me Later";
  bool localChecksDisabled_ = false;
  bool remoteChecksDisabled_ = false;
  bool localDebug_ = false;
  bool remoteDebug_ = false;
  std::optional<std::string> updateURL_;
  std::string storeHost_ = "itunes.apple.com";
  iVersionDelegate* delegate_ = nullptr;

  std::optional<Dictionary> remoteVersionsDict_;
  std::optional<Error> downloadError_;
  std::optional<std::string> versionDetails_;
  std::optional<Dictionary> localVersionsDict_;

  LifecycleTriggers triggers_;
  Subscription alert_;
  // Last, so that a check in flight stops before anything it hands over to goes.
  RemoteCheck remoteCheck_;
};

}  // namespace tumbla
