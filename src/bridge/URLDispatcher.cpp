#include "bridge/URLDispatcher.h"

#include <string_view>

#include "bridge/QueryParams.h"
#include "platform/Platform.h"
#include "value/Ascii.h"

namespace tumbla {

namespace {

using Optional = URLDispatcherDelegate::Optional;
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

}  // namespace

bool URLDispatcher::dispatchURL(const Url& url) {
  if (!url.host()) return false;
  for (const Route& route : kRoutes) {
    if (isRouteHost(url, route.host)) {
      (this->*route.handler)(url);
      return true;
    }
  }
  // Any other host is a link the page followed: it is opened outside, never inside.
  if (delegateHas(Optional::ExitFullScreen)) delegate_->exitFullScreen();
  if (delegate_) delegate_->openExternalURL(url);
  return true;
}

void URLDispatcher::gameCenterCallback(const Url& url) {
  const std::string& path = url.path();
  QueryParameters parameters = queryParams(url);
  UserDefaults& defaults = Platform::shared().userDefaults();
  if (path == "/enable") {
    if (delegateHas(Optional::EnableGameCenter)) delegate_->enableGameCenter(false);
    defaults.setBool("gameCenterPrompted", true);
  } else if (path == "/disable") {
    defaults.setBool("gameCenter", false);
  } else if (path == "/scores") {
    if (delegateHas(Optional::ShowGlobalScores)) {
      delegate_->showGlobalScores(parameter(parameters, "difficulty"));
    }
  } else if (path == "/submit") {
    if (delegateHas(Optional::SubmitScore)) {
      delegate_->submitScore(integerParameter(parameters, "score"),
                             integerParameter(parameters, "level"),
                             parameter(parameters, "difficulty"));
    }
  }
}

void URLDispatcher::settingsCallback(const Url& url) {
  if (url.path() == "/update" && delegate_) delegate_->updateSettings(queryParams(url));
}

void URLDispatcher::audioCallback(const Url& /*url*/) {
  // Seam: the sound manager and the music playlist take the audio commands here.
}

void URLDispatcher::undoCallback(const Url& url) {
  const std::string& path = url.path();
  if (path == "/enable") {
    // The page's signed count goes over as unsigned with its bits unchanged.
    auto remaining = static_cast<std::uint32_t>(integerParameter(queryParams(url), "remaining"));
    if (delegateHas(Optional::UpdateUndo)) delegate_->updateUndo(remaining);
  } else if (path == "/disable") {
    if (delegateHas(Optional::UpdateUndo)) delegate_->updateUndo(0);
  }
}

void URLDispatcher::appCallback(const Url& url) {
  if (url.path() == "/quit" && delegateHas(Optional::Quit)) delegate_->quit();
}

void URLDispatcher::iVersionCallback(const Url& /*url*/) {
  // Seam: the version prompt records the page's answer here.
}

void URLDispatcher::iNotifyCallback(const Url& /*url*/) {
  // Seam: the remote notices record the page's answer here.
}

void URLDispatcher::iRateCallback(const Url& /*url*/) {
  // Seam: the rating prompt records the page's answer here.
}

}  // namespace tumbla
