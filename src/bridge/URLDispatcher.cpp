#include "bridge/URLDispatcher.h"

#include <cmath>
#include <string_view>

#include "audio/Playlist.h"
#include "audio/SoundManager.h"
#include "bridge/JavaScriptLiteral.h"
#include "bridge/QueryParams.h"
#include "platform/Platform.h"
#include "prompts/PromptClock.h"
#include "prompts/iNotify.h"
#include "prompts/iNotifyKeys.h"
#include "prompts/iRate.h"
#include "prompts/iVersion.h"
#include "value/Ascii.h"
#include "value/LeadingNumber.h"

namespace tumbla {

namespace {

// The host's optional operations (the prompt protocols have their own).
using HostOptional = URLDispatcherDelegate::Optional;
using Handler = void (URLDispatcher::*)(const Url&);

struct Route {
  std::string_view host;
  Handler handler;
};

// Hosts are compared whole, first match wins.
constexpr Route kRoutes[] = {
    {"gameCenter.prismora", &URLDispatcher::gameCenterCallback},
    {"settings.prismora", &URLDispatcher::settingsCallback},
    {"audio.prismora", &URLDispatcher::audioCallback},
    {"undo.prismora", &URLDispatcher::undoCallback},
    {"app.prismora", &URLDispatcher::appCallback},
    {"iVersion.prismora", &URLDispatcher::iVersionCallback},
    {"iNotify.prismora", &URLDispatcher::iNotifyCallback},
    {"iRate.prismora", &URLDispatcher::iRateCallback},
};

// The web's special schemes: the engine lowers their hosts before a load reaches us.
constexpr std::string_view kHostLoweringSchemes[] = {"http", "https", "ws", "wss", "ftp", "file"};

bool hostCaseIsLost(std::string_view scheme) {
  for (std::string_view special : kHostLoweringSchemes) {
    if (equalsIgnoringAsciiCase(scheme, special)) return true;
  }
  return false;
}

// Exact where the page's own spelling arrives; where the engine has already lowered it,
// "gameCenter.prismora" can only be recognised ignoring case.
bool isRouteHost(const Url& url, std::string_view routeHost) {
  if (hostCaseIsLost(url.scheme())) return equalsIgnoringAsciiCase(*url.host(), routeHost);
  return *url.host() == routeHost;
}

std::optional<std::string> stringEntry(const Dictionary& details, std::string_view key) {
  const Value* value = details.find(key);
  if (!value || !value->stringIf()) return std::nullopt;
  return std::string(*value->stringIf());
}

using PromptClock::now;

}  // namespace

URLDispatcher::~URLDispatcher() {
  if (iVersion* versions = iVersion::existingInstance(); versions && versions->delegate() == this) {
    versions->setDelegate(nullptr);
  }
  if (iNotify* notices = iNotify::existingInstance(); notices && notices->delegate() == this) {
    notices->setDelegate(nullptr);
  }
  if (iRate* rating = iRate::existingInstance(); rating && rating->delegate() == this) {
    rating->setDelegate(nullptr);
  }
}

bool URLDispatcher::dispatchURL(const Url& url) {
  if (!url.host()) return false;
  for (const Route& route : kRoutes) {
    if (isRouteHost(url, route.host)) {
      (this->*route.handler)(url);
      return true;
    }
  }
  // Any other host is a link the page followed: it is opened outside, never inside.
  if (delegateHas(HostOptional::ExitFullScreen)) delegate_->exitFullScreen();
  if (delegate_) delegate_->openExternalURL(url);
  return true;
}

void URLDispatcher::gameCenterCallback(const Url& url) {
  const std::string& path = url.path();
  QueryParameters parameters = queryParams(url);
  UserDefaults& defaults = Platform::shared().userDefaults();
  if (path == "/enable") {
    if (delegateHas(HostOptional::EnableGameCenter)) delegate_->enableGameCenter(false);
    defaults.setBool("gameCenterPrompted", true);
  } else if (path == "/disable") {
    defaults.setBool("gameCenter", false);
  } else if (path == "/scores") {
    if (delegateHas(HostOptional::ShowGlobalScores)) {
      delegate_->showGlobalScores(parameter(parameters, "difficulty"));
    }
  } else if (path == "/submit") {
    if (delegateHas(HostOptional::SubmitScore)) {
      delegate_->submitScore(integerParameter(parameters, "score"),
                             integerParameter(parameters, "level"),
                             parameter(parameters, "difficulty"));
    }
  }
}

void URLDispatcher::settingsCallback(const Url& url) {
  if (url.path() == "/update" && delegate_) delegate_->updateSettings(queryParams(url));
}

void URLDispatcher::audioCallback(const Url& url) {
  const std::string& path = url.path();
  if (path == "/switchTrack") {
    Playlist::sharedInstance().next();
    return;
  }
  QueryParameters parameters = queryParams(url);
  SoundManager& manager = SoundManager::sharedManager();
  if (path == "/playSound") {
    // Without a name there is no file to find: nothing plays.
    if (auto name = parameter(parameters, "name")) manager.playSound(*name, false);
  } else if (path == "/playSounds") {
    // Every piece, in order and at once; an empty piece names nothing and plays nothing.
    if (auto names = parameter(parameters, "names")) {
      std::string_view rest = *names;
      while (true) {
        std::size_t comma = rest.find(',');
        manager.playSound(rest.substr(0, comma), false);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
    }
  } else if (path == "/playMusic") {
    // Music always loops.
    if (auto name = parameter(parameters, "name")) manager.playMusic(*name, true);
  } else if (path == "/stopMusic") {
    manager.stopMusic();
  }
}

void URLDispatcher::undoCallback(const Url& url) {
  const std::string& path = url.path();
  if (path == "/enable") {
    // The page's signed count goes over as unsigned with its bits unchanged.
    auto remaining = static_cast<std::uint32_t>(integerParameter(queryParams(url), "remaining"));
    if (delegateHas(HostOptional::UpdateUndo)) delegate_->updateUndo(remaining);
  } else if (path == "/disable") {
    if (delegateHas(HostOptional::UpdateUndo)) delegate_->updateUndo(0);
  }
}

void URLDispatcher::appCallback(const Url& url) {
  if (url.path() == "/quit" && delegateHas(HostOptional::Quit)) delegate_->quit();
}

void URLDispatcher::iVersionCallback(const Url& url) {
  const std::string& path = url.path();
  iVersion& versions = iVersion::sharedInstance();
  if (path == "/viewedRemote") {
    versions.openAppPageInAppStore();
    if (delegateHas(HostOptional::ExitFullScreen)) delegate_->exitFullScreen();
  } else if (path == "/viewedLocal") {
    versions.setViewedVersionDetails(true);
  } else if (path == "/ignore") {
    std::optional<std::string> version = parameter(queryParams(url), "version");
    if (version) {
      auto shown = shownVersionKeys_.find(*version);
      if (shown != shownVersionKeys_.end()) version = shown->second;
    }
    versions.setIgnoredVersion(version);
  } else if (path == "/remind") {
    versions.setLastReminded(now());
  }
}

void URLDispatcher::iNotifyCallback(const Url& url) {
  const std::string& path = url.path();
  iNotify& notices = iNotify::sharedInstance();
  if (path == "/viewed") {
    notices.setNotificationViewed(parameter(queryParams(url), "key"));
    notices.setLastReminded(std::nullopt);
  } else if (path == "/ignore") {
    notices.setNotificationIgnored(parameter(queryParams(url), "key"));
    notices.setLastReminded(std::nullopt);
  } else if (path == "/remind") {
    notices.setLastReminded(now());
  }
}

void URLDispatcher::iRateCallback(const Url& url) {
  const std::string& path = url.path();
  iRate& rating = iRate::sharedInstance();
  if (path == "/rated") {
    rating.openRatingsPageInAppStore();
    rating.setRatedThisVersion(true);
    if (delegateHas(HostOptional::ExitFullScreen)) delegate_->exitFullScreen();
  } else if (path == "/decline") {
    rating.setDeclinedThisVersion(true);
  } else if (path == "/remind") {
    rating.setLastReminded(now());
  }
}

bool URLDispatcher::respondsTo(iRateDelegate::Optional operation) const {
  return operation == iRateDelegate::Optional::ShouldPromptForRating;
}

bool URLDispatcher::respondsTo(iVersionDelegate::Optional operation) const {
  return operation == iVersionDelegate::Optional::ShouldDisplayNewVersion ||
         operation == iVersionDelegate::Optional::ShouldDisplayCurrentVersionDetails;
}

bool URLDispatcher::respondsTo(iNotifyDelegate::Optional operation) const {
  return operation == iNotifyDelegate::Optional::ShouldDisplayNotification;
}

bool URLDispatcher::iRateShouldShouldPromptForRating() {
  executeJavaScript("Tumbla.showRatingPrompt()");
  return false;
}

// Every argument is a string literal that evaluates to the text exactly (a line feed in
// the notes arrives as a line feed), so nothing a list holds can break the call or run.
bool URLDispatcher::iVersionShouldDisplayNewVersion(const std::string& version,
                                                    const std::string& details) {
  std::string shown = processedVersionNumber(version);
  shownVersionKeys_[shown] = version;
  executeJavaScript("Tumbla.showNewVersion(" + javaScriptStringLiteral(shown) + ", " +
                    javaScriptStringLiteral(details) + ")");
  return false;
}

bool URLDispatcher::iVersionShouldDisplayCurrentVersionDetails(const std::string& details) {
  const std::optional<std::string>& installed = iVersion::sharedInstance().applicationVersion();
  std::optional<std::string> shown =
      installed ? std::optional<std::string>(processedVersionNumber(*installed)) : std::nullopt;
  executeJavaScript("Tumbla.showCurrentVersion(" + javaScriptOptionalStringLiteral(shown) + ", " +
                    javaScriptStringLiteral(details) + ")");
  return false;
}

bool URLDispatcher::iNotifyShouldDisplayNotificationWithKey(const std::string& key,
                                                            const Dictionary& details) {
  std::optional<std::string> label = stringEntry(details, iNotifyActionButtonKey);
  if (!label) label = iNotify::sharedInstance().defaultActionButtonLabel();
  executeJavaScript("Tumbla.showNotification(" + javaScriptStringLiteral(key) + ", " +
                    javaScriptOptionalStringLiteral(stringEntry(details, iNotifyTitleKey)) + ", " +
                    javaScriptOptionalStringLiteral(stringEntry(details, iNotifyMessageKey)) +
                    ", " +
                    javaScriptOptionalStringLiteral(stringEntry(details, iNotifyActionURLKey)) +
                    ", " + javaScriptOptionalStringLiteral(label) + ")");
  return false;
}

// The last number of a store version packs two levels: its last digit is a further one.
// The head's leading integer is the major number; the tail (after the last ".") read as
// a float and divided by ten gives the minor number (its whole part) and the patch (the
// first digit of its fraction, rounded through a hundredth). A zero patch is left out.
// "1.25" is 1.2.5, "1.30" is 1.3, "2" is 2.0.
std::string URLDispatcher::processedVersionNumber(std::string_view version) {
  std::size_t dot = version.rfind('.');
  std::string_view head = dot == std::string_view::npos ? version : version.substr(0, dot);
  std::string_view tail =
      dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
  std::int32_t major = leadingInt32(head);
  // The tail read as the platform's 32-bit `floatValue` reads it.
  float x = static_cast<float>(leadingReal(tail)) / 10.0f;
  float whole = std::floor(x);
  // A tail too large for the arithmetic shows as its whole part alone.
  if (!(std::abs(whole) < 2e9f)) return std::to_string(major) + ".0";
  auto minor = static_cast<std::int32_t>(whole);
  float fraction = x - static_cast<float>(minor);
  double hundredths = std::round(static_cast<double>(fraction) * 100.0);
  auto patch = static_cast<std::int32_t>(hundredths / 10.0);
  std::string shown = std::to_string(major) + "." + std::to_string(minor);
  if (patch != 0) shown += "." + std::to_string(patch);
  return shown;
}

}  // namespace tumbla
