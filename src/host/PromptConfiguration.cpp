#include "host/PromptConfiguration.h"

#include "prompts/iNotify.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"

namespace tumbla::PromptConfiguration {

namespace {

// The name the prompts show for the game.
constexpr const char* kApplicationName = "Fizzpaw";
constexpr float kRatingRemindPeriodDays = 10.0f;

}  // namespace

void configure(const DeploymentSettings& settings) {
  iVersion& versions = iVersion::sharedInstance();
  versions.setGroupNotesByVersion(false);
  versions.setShowOnFirstLaunch(true);
  versions.setApplicationName(kApplicationName);
  versions.setAppStoreID(settings.appStoreID);
  versions.setStoreHost(settings.storeHost);
  versions.setLocalVersionsPlistPath(settings.localVersionsPath);
  versions.setRemoteVersionsPlistURL(settings.remoteVersionsURL);
  versions.setLocalDebug(false);
  versions.setRemoteDebug(false);

  iNotify& notices = iNotify::sharedInstance();
  notices.setRemindButtonLabel(versions.remindButtonLabel().value_or("Remind Me Later"));
  notices.setDebug(versions.localDebug());
  notices.setNotificationsPlistURL(settings.notificationsURL);

  iRate& rating = iRate::sharedInstance();
  rating.setAppStoreID(versions.appStoreID());
  rating.setStoreHost(settings.storeHost);
  rating.setProbeURL(settings.probeURL);
  rating.setApplicationName(versions.applicationName());
  rating.setRemindButtonLabel(versions.remindButtonLabel());
  rating.setRemindPeriod(kRatingRemindPeriodDays);
  rating.setDebug(versions.localDebug());

  // A game that does not want the prompts gets none of them, nor their checks.
  bool off = !settings.features.prompts;
  versions.setLocalChecksDisabled(off);
  versions.setRemoteChecksDisabled(off);
  notices.setDisabled(off);
  rating.setDisabled(off);
}

void setDelegate(URLDispatcher& dispatcher) {
  iVersion::sharedInstance().setDelegate(&dispatcher);
  iNotify::sharedInstance().setDelegate(&dispatcher);
  iRate::sharedInstance().setDelegate(&dispatcher);
}

}  // namespace tumbla::PromptConfiguration
