#pragma once

#include <string_view>
#include <vector>

#include "platform/UrlLoading.h"

namespace tumbla {

// Cookies kept in memory.
class SimCookieStorage : public CookieStorage {
 public:
  std::vector<Cookie> allCookies() const override { return cookies_; }
  void setCookie(const Cookie& cookie) override;
  void deleteCookiesForHost(std::string_view host) override;

 private:
  std::vector<Cookie> cookies_;
};

}  // namespace tumbla
