#include "platform/UrlLoading.h"

#include <algorithm>

#include "platform/Url.h"
#include "value/Ascii.h"

namespace tumbla {

std::optional<std::string> UrlResponse::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (equalsIgnoringAsciiCase(key, name)) return value;
  }
  return std::nullopt;
}

bool cookieDomainMatches(std::string_view cookieDomain, std::string_view host) {
  if (!cookieDomain.empty() && cookieDomain.front() == '.') cookieDomain.remove_prefix(1);
  if (cookieDomain.empty() || host.size() < cookieDomain.size()) return false;
  if (!equalsIgnoringAsciiCase(host.substr(host.size() - cookieDomain.size()), cookieDomain)) {
    return false;
  }
  return host.size() == cookieDomain.size() || host[host.size() - cookieDomain.size() - 1] == '.';
}

bool isWebAddress(std::string_view text) {
  std::optional<Url> url = Url::parse(text);
  if (!url || !url->host() || url->host()->empty()) return false;
  return equalsIgnoringAsciiCase(url->scheme(), "http") ||
         equalsIgnoringAsciiCase(url->scheme(), "https");
}

}  // namespace tumbla
