#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/UrlLoading.h"
#include "platform/linux/CurlCookieStorage.h"
#include "platform/linux/CurlPool.h"

namespace tumbla {

// URL loading with libcurl. A synchronous load runs on the caller's thread; an
// asynchronous one runs on a worker thread of its own and hands its callbacks to the
// main loop, which it never blocks. Destroying the loader makes the loads in flight end
// at once, so that quitting never waits for a slow server, and releases their handlers
// without calling them.
class CurlUrlLoader : public UrlLoader {
 public:
  CurlUrlLoader();
  ~CurlUrlLoader() override;
  CurlUrlLoader(const CurlUrlLoader&) = delete;
  CurlUrlLoader& operator=(const CurlUrlLoader&) = delete;

  Result<UrlReply> load(const UrlRequest& request) override;
  Subscription start(UrlRequest request, UrlConnectionHandlers handlers) override;
  CookieStorage& cookieStorage() override { return cookies_; }

 private:
  struct Connection;

  // Runs one handler on the main thread unless the load has ended for its owner by then.
  static void handBack(std::shared_ptr<Connection> connection,
                       std::function<void(const UrlConnectionHandlers&)> call);

  std::shared_ptr<CurlPool> pool_;
  CurlCookieStorage cookies_;
  // The asynchronous loads started, to end the unfinished ones with the loader (main
  // thread only).
  std::vector<std::weak_ptr<Connection>> connections_;
};

}  // namespace tumbla
