#pragma once

#include <curl/curl.h>

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/UrlLoading.h"
#include "platform/linux/CurlTransfer.h"

namespace tumbla {

// The libcurl state every load shares: one share handle (connections, DNS answers,
// TLS sessions and cookies) and a pool of easy handles to reuse. Loads on any thread
// take a handle, run and give it back. Shared-owned by each synchronous load in flight,
// so it lives until the last one ends even when the loader goes first.
class CurlPool {
 public:
  CurlPool() = default;
  ~CurlPool();
  CurlPool(const CurlPool&) = delete;
  CurlPool& operator=(const CurlPool&) = delete;

  // A transfer of the request, set up on a handle of the pool and not yet running, or why
  // there can't be one. It must end before the pool does.
  Result<std::unique_ptr<CurlTransfer>> prepare(UrlRequest request,
                                                CurlTransfer::Callbacks callbacks);

  // Runs the request to its end on the calling thread. Answers the response, or why
  // there is none.
  Result<UrlResponse> perform(const UrlRequest& request, CurlTransfer::Callbacks callbacks);

  // Makes every load in flight and every later one fail at once: the program is ending.
  void close() { closed_ = true; }

  // An easy handle attached to the share, for reading and changing the shared cookies.
  // Main thread and loads may use the cookies at once; the share's locks keep them apart.
  template <class Body>
  auto withCookieHandle(Body body) {
    start();
    std::lock_guard lock(cookieHandleMutex_);
    return body(cookieHandle_);
  }

 private:
  friend class CurlTransfer;
  // Sets the share and the cookie handle up, once, on whichever thread first needs them.
  void start();
  CURL* acquire();
  void release(CURL* handle);
  static void lockShare(CURL*, curl_lock_data data, curl_lock_access, void* self);
  static void unlockShare(CURL*, curl_lock_data data, void* self);

  std::once_flag started_;
  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks_;
  std::mutex idleMutex_;
  std::vector<CURL*> idle_;
  std::mutex cookieHandleMutex_;
  CURL* cookieHandle_ = nullptr;
  std::atomic<bool> closed_{false};
};

}  // namespace tumbla
