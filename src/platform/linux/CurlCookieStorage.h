#pragma once

#include <memory>

#include "platform/UrlLoading.h"
#include "platform/linux/CurlPool.h"

namespace tumbla {

// The cookies of libcurl's share, which every load of the pool sends and keeps.
class CurlCookieStorage : public CookieStorage {
 public:
  explicit CurlCookieStorage(std::shared_ptr<CurlPool> pool) : pool_(std::move(pool)) {}

  std::vector<Cookie> allCookies() const override;
  void setCookie(const Cookie& cookie) override;
  void deleteCookiesForHost(std::string_view host) override;

 private:
  std::shared_ptr<CurlPool> pool_;
};

}  // namespace tumbla
