#include "host/DeploymentSettings.h"

#include <limits>
#include <utility>

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
  using Text = std::string DeploymentSettings::*;
  static constexpr std::pair<std::string_view, Text> kTexts[] = {
      {"TumblaStoreHost", &DeploymentSettings::storeHost},
      {"TumblaConfigURL", &DeploymentSettings::configURL},
      {"TumblaConfigAppCode1", &DeploymentSettings::configAppCode1},
      {"TumblaConfigAppCode2", &DeploymentSettings::configAppCode2},
      {"TumblaPromotionURL", &DeploymentSettings::promotionURL},
      {"TumblaUpgradeURL", &DeploymentSettings::upgradeURL},
      {"TumblaProbeURL", &DeploymentSettings::probeURL},
      {"TumblaNotificationsURL", &DeploymentSettings::notificationsURL},
      {"TumblaRemoteVersionsURL", &DeploymentSettings::remoteVersionsURL},
      {"TumblaLocalVersionsPath", &DeploymentSettings::localVersionsPath},
  };
  const Bundle& bundle = Platform::shared().bundle();
  DeploymentSettings settings;
  readIdentifier(bundle, "TumblaAppStoreID", settings.appStoreID);
  readIdentifier(bundle, "TumblaReviewStoreID", settings.reviewStoreID);
  for (const auto& [key, member] : kTexts) readString(bundle, key, settings.*member);
  return settings;
}

}  // namespace tumbla
