#pragma once

#include <memory>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/UrlLoading.h"
#include "platform/linux/CurlCookieStorage.h"
#include "platform/linux/CurlPool.h"
#include "platform/linux/GLibCurlMulti.h"

namespace tumbla {

// URL loading with libcurl. A synchronous load runs on the caller's thread; the
// asynchronous ones all run on one curl_multi that the main loop drives, and hand their
// callbacks over through the run loop, so the loop is never blocked and no thread is
// started. Destroying the loader ends the loads in flight at once, so that quitting never
// waits for a slow server, and releases their handlers without calling them.
class CurlUrlLoader : public UrlLoader {
 public:
  // `runLoop` outlives the loader.
  explicit CurlUrlLoader(RunLoop& runLoop);
  ~CurlUrlLoader() override;
  CurlUrlLoader(const CurlUrlLoader&) = delete;
  CurlUrlLoader& operator=(const CurlUrlLoader&) = delete;

  Result<UrlReply> load(const UrlRequest& request) override;
  Subscription start(UrlRequest request, UrlConnectionHandlers handlers) override;
  CookieStorage& cookieStorage() override { return cookies_; }

 private:
  struct Connection;

  RunLoop& runLoop_;
  std::shared_ptr<CurlPool> pool_;
  CurlCookieStorage cookies_;
  // Shared with the loads running on it, which take themselves off when cancelled.
  std::shared_ptr<GLibCurlMulti> multi_;
  // The asynchronous loads started, to end the unfinished ones with the loader.
  std::vector<std::weak_ptr<Connection>> connections_;
};

}  // namespace tumbla
