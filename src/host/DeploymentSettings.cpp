#include "host/DeploymentSettings.h"

#include <charconv>
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

void readPageSize(const Bundle& bundle, std::optional<Size>& setting) {
  const Value* value = bundle.objectForInfoDictionaryKey("TumblaPageSize");
  if (!value) return;
  std::optional<std::string_view> text = value->stringIf();
  setting = text ? DeploymentSettings::parsePageSize(*text) : std::nullopt;
  if (!setting) {
    logLine("Info.plist: TumblaPageSize must be a size such as \"500x900\"; the default is used");
  }
}

// A whole number of at most five digits and nothing more; pages are not larger.
std::optional<int> positiveLength(std::string_view text) {
  int length = 0;
  if (text.empty() || text.size() > 5) return std::nullopt;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), length);
  if (error != std::errc() || end != text.data() + text.size() || length <= 0) return std::nullopt;
  return length;
}

}  // namespace

std::optional<Size> DeploymentSettings::parsePageSize(std::string_view text) {
  std::size_t times = text.find('x');
  if (times == std::string_view::npos) return std::nullopt;
  std::optional<int> width = positiveLength(text.substr(0, times));
  std::optional<int> height = positiveLength(text.substr(times + 1));
  if (!width || !height) return std::nullopt;
  return Size{static_cast<double>(*width), static_cast<double>(*height)};
}

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
  readPageSize(bundle, settings.pageSize);
  settings.features =
      HostFeatures::fromInfoValue(bundle.objectForInfoDictionaryKey("TumblaHostFeatures"));
  return settings;
}

}  // namespace tumbla
