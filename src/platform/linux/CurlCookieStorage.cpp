#include "platform/linux/CurlCookieStorage.h"

#include <charconv>
#include <string>

namespace tumbla {

namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

// libcurl's cookie lines are the Netscape file format: domain, subdomains flag, path,
// secure, expiry (0 for a session cookie), name, value, separated by tabs.
std::optional<Cookie> parseCookieLine(std::string_view line) {
  if (line.starts_with(kHttpOnlyPrefix)) line.remove_prefix(kHttpOnlyPrefix.size());
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  if (fields.size() != 7) return std::nullopt;
  Cookie cookie;
  std::string_view domain = fields[0];
  if (domain.starts_with('.')) domain.remove_prefix(1);
  cookie.domain = domain;
  cookie.path = fields[2];
  cookie.secure = fields[3] == "TRUE";
  long long expires = 0;
  std::from_chars(fields[4].data(), fields[4].data() + fields[4].size(), expires);
  if (expires != 0) cookie.expires = static_cast<double>(expires);
  cookie.name = fields[5];
  cookie.value = fields[6];
  return cookie;
}

std::string cookieLine(const Cookie& cookie) {
  auto expires = static_cast<long long>(cookie.expires.value_or(0));
  return "." + cookie.domain + "\tTRUE\t" + cookie.path + "\t" +
         (cookie.secure ? "TRUE" : "FALSE") + "\t" + std::to_string(expires) + "\t" + cookie.name +
         "\t" + cookie.value;
}

std::vector<Cookie> readCookies(CURL* handle) {
  std::vector<Cookie> cookies;
  curl_slist* list = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_COOKIELIST, &list) != CURLE_OK) return cookies;
  for (curl_slist* item = list; item; item = item->next) {
    if (std::optional<Cookie> cookie = parseCookieLine(item->data)) cookies.push_back(*cookie);
  }
  curl_slist_free_all(list);
  return cookies;
}

}  // namespace

std::vector<Cookie> CurlCookieStorage::allCookies() const {
  return pool_->withCookieHandle(readCookies);
}

void CurlCookieStorage::setCookie(const Cookie& cookie) {
  pool_->withCookieHandle([&](CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_COOKIELIST, cookieLine(cookie).c_str());
  });
}

void CurlCookieStorage::deleteCookiesForHost(std::string_view host) {
  pool_->withCookieHandle([&](CURL* handle) {
    std::vector<Cookie> kept = readCookies(handle);
    std::erase_if(kept,
                  [&](const Cookie& cookie) { return cookieDomainMatches(host, cookie.domain); });
    curl_easy_setopt(handle, CURLOPT_COOKIELIST, "ALL");
    for (const Cookie& cookie : kept) {
      curl_easy_setopt(handle, CURLOPT_COOKIELIST, cookieLine(cookie).c_str());
    }
  });
}

}  // namespace tumbla
