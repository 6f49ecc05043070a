#include "platform/sim/SimCookieStorage.h"

namespace tumbla {

void SimCookieStorage::setCookie(const Cookie& cookie) {
  std::erase_if(cookies_, [&](const Cookie& held) {
    return held.name == cookie.name && held.domain == cookie.domain && held.path == cookie.path;
  });
  cookies_.push_back(cookie);
}

void SimCookieStorage::deleteCookiesForHost(std::string_view host) {
  std::erase_if(cookies_,
                [&](const Cookie& held) { return cookieDomainMatches(host, held.domain); });
}

}  // namespace tumbla
