#pragma once

#include <curl/curl.h>

#include <atomic>
#include <functional>
#include <string>

#include "platform/UrlLoading.h"

namespace tumbla {

class CurlPool;

// One load on one of the pool's easy handles: the request set up on the handle, the
// answer gathered from libcurl's callbacks, and the outcome once libcurl has ended it.
// Running it is the caller's (curl_easy_perform, or a multi). Destroying it gives the
// handle back to the pool, so it must not be running then.
class CurlTransfer {
 public:
  struct Callbacks {
    // The final response's status and headers, once, before any data.
    std::function<void(const UrlResponse&)> response;
    // A piece of the body; answering false aborts the load.
    std::function<bool(std::string_view)> data;
    // Checked while the load runs; true aborts it.
    std::function<bool()> cancelled;
  };

  // `closed` is the pool's: true makes the load fail at its next check.
  CurlTransfer(CurlPool& pool, CURL* handle, CURLSH* share, UrlRequest request, Callbacks callbacks,
               const std::atomic<bool>& closed);
  ~CurlTransfer();
  CurlTransfer(const CurlTransfer&) = delete;
  CurlTransfer& operator=(const CurlTransfer&) = delete;

  CURL* handle() const { return handle_; }
  // The response, or why there is none, once libcurl has ended the load with `code`.
  Result<UrlResponse> finish(CURLcode code);

 private:
  static std::size_t onHeader(char* buffer, std::size_t size, std::size_t count, void* self);
  static std::size_t onData(char* buffer, std::size_t size, std::size_t count, void* self);
  static int onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t);
  void sendResponse();

  CurlPool& pool_;
  CURL* handle_;
  UrlRequest request_;
  Callbacks callbacks_;
  const std::atomic<bool>& closed_;
  curl_slist* headers_ = nullptr;
  char problem_[CURL_ERROR_SIZE] = {};
  UrlResponse response_;
  bool responseSent_ = false;
  std::size_t received_ = 0;
  bool tooLarge_ = false;
};

}  // namespace tumbla
