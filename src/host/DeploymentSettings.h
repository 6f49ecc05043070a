#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/HostFeatures.h"
#include "platform/View.h"

namespace tumbla {

// The values a publisher sets in the bundle's Info.plist, so that they change without a
// rebuild. Every key is optional; the defaults point nowhere, so an unconfigured game
// asks no server and opens nothing.
struct DeploymentSettings {
  // "TumblaAppStoreID": the game's store identifier (store page, review page of iRate).
  std::uint32_t appStoreID = 0;
  // "TumblaReviewStoreID": the identifier of the review page the host's own request opens.
  std::uint32_t reviewStoreID = 0;
  // "TumblaStoreHost": the host of the store's addresses.
  std::string storeHost = "itunes.apple.com";
  // "TumblaConfigURL": the remote configuration page (its path ends in pj.php); empty
  // means no page, and every switch reads 0.
  std::string configURL;
  // "TumblaConfigAppCode1", "TumblaConfigAppCode2": the `app` values of the review switch
  // and of the wording switch.
  std::string configAppCode1 = "review";
  std::string configAppCode2 = "wording";
  // "TumblaPromotionURL": where the promotion button leads when the page names nothing.
  std::string promotionURL;
  // "TumblaUpgradeURL": the upgrade's store page, opened by "Buy Now".
  std::string upgradeURL;
  // "TumblaProbeURL": the page whose answer tells the rating prompt the network is there.
  std::string probeURL;
  // "TumblaNotificationsURL", "TumblaRemoteVersionsURL": the notices and versions lists on
  // the web; "TumblaLocalVersionsPath": the versions list inside the bundle.
  std::string notificationsURL;
  std::string remoteVersionsURL;
  std::string localVersionsPath;
  // "TumblaPageSize": the page's size in CSS pixels, "WIDTHxHEIGHT" ("500x900"); nothing
  // means the device's screen in landscape, as the bundled game has it.
  std::optional<Size> pageSize;
  // "TumblaHostFeatures": the host's own features the game wants.
  HostFeatures features;

  // "WIDTHxHEIGHT" of two positive whole numbers; nothing for anything else.
  static std::optional<Size> parsePageSize(std::string_view text);

  // The settings of the installed platform's bundle; a key of the wrong type is logged
  // and keeps its default.
  static DeploymentSettings fromBundle();
};

}  // namespace tumbla
