#include "host/DeploymentSettings.h"

#include <limits>

#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

void readString(const Bundle& bundle, std::string_view key, std::string& setting) {
  const Value* value = bundle.objectForInfoDictionaryKey(key);
  if (!value) return;
  if (auto text = value->stringIf()) {
    setting = *text;
  } else {
    logLine("Info.plist: " + std::string(key) + " must be a string; it is ignored");
  }
}

void readIdentifier(const Bundle& bundle, std::string_view key, std::uint32_t& setting) {
  const Value* value = bundle.objectForInfoDictionaryKey(key);
  if (!value) return;
  const std::int64_t* number = value->integerIf();
  if (number && *number >= 0 && *number <= std::numeric_limits<std::uint32_t>::max()) {
    setting = static_cast<std::uint32_t>(*number);
  } else {
    logLine("Info.plist: " + std::string(key) +
            " must be an integer from 0 to 4294967295; it is ignored");
  }
}

}  // namespace

DeploymentSettings DeploymentSettings::fromBundle() {
  const Bundle& bundle = Platform::shared().bundle();
  DeploymentSettings settings;
  readIdentifier(bundle, "TumblaAppStoreID", settings.appStoreID);
  readIdentifier(bundle, "TumblaReviewStoreID", settings.reviewStoreID);
  readString(bundle, "TumblaStoreHost", settings.storeHost);
  readString(bundle, "TumblaConfigURL", settings.configURL);
  readString(bundle, "TumblaConfigAppCode1", settings.configAppCode1);
  readString(bundle, "TumblaConfigAppCode2", settings.configAppCode2);
  readString(bundle, "TumblaPromotionURL", settings.promotionURL);
  readString(bundle, "TumblaUpgradeURL", settings.upgradeURL);
  readString(bundle, "TumblaProbeURL", settings.probeURL);
  readString(bundle, "TumblaNotificationsURL", settings.notificationsURL);
  readString(bundle, "TumblaRemoteVersionsURL", settings.remoteVersionsURL);
  readString(bundle, "TumblaLocalVersionsPath", settings.localVersionsPath);
  return settings;
}

}  // namespace tumbla
