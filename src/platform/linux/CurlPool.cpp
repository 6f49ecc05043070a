#include "platform/linux/CurlPool.h"

namespace tumbla {

namespace {

// Idle handles kept for reuse; more loads at once simply make more.
constexpr std::size_t kMaxIdleHandles = 4;

}  // namespace

void CurlPool::start() {
  // libcurl is loaded with its first use, which is this: not while the program starts.
  std::call_once(started_, [this] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    share_ = curl_share_init();
    curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlPool::lockShare);
    curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlPool::unlockShare);
    curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
    for (curl_lock_data data : {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_DNS,
                                CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_CONNECT}) {
      curl_share_setopt(share_, CURLSHOPT_SHARE, data);
    }
    cookieHandle_ = curl_easy_init();
    curl_easy_setopt(cookieHandle_, CURLOPT_SHARE, share_);
    curl_easy_setopt(cookieHandle_, CURLOPT_COOKIEFILE, "");
  });
}

CurlPool::~CurlPool() {
  if (!share_) return;
  for (CURL* handle : idle_) curl_easy_cleanup(handle);
  curl_easy_cleanup(cookieHandle_);
  curl_share_cleanup(share_);
}

void CurlPool::lockShare(CURL*, curl_lock_data data, curl_lock_access, void* self) {
  static_cast<CurlPool*>(self)->shareLocks_[data].lock();
}

void CurlPool::unlockShare(CURL*, curl_lock_data data, void* self) {
  static_cast<CurlPool*>(self)->shareLocks_[data].unlock();
}

CURL* CurlPool::acquire() {
  start();
  {
    std::lock_guard lock(idleMutex_);
    if (!idle_.empty()) {
      CURL* handle = idle_.back();
      idle_.pop_back();
      return handle;
    }
  }
  return curl_easy_init();
}

void CurlPool::release(CURL* handle) {
  // The list of cookie files the transfer was given is kept across transfers, but
  // curl_easy_reset forgets it without freeing it; clearing it first frees it. With the
  // cookies in the share, this only detaches the handle from them until its next load.
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, nullptr);
  curl_easy_reset(handle);
  std::lock_guard lock(idleMutex_);
  if (idle_.size() < kMaxIdleHandles) {
    idle_.push_back(handle);
    return;
  }
  curl_easy_cleanup(handle);
}

Result<std::unique_ptr<CurlTransfer>> CurlPool::prepare(UrlRequest request,
                                                        CurlTransfer::Callbacks callbacks) {
  if (!isWebAddress(request.url)) return Failure{"not a web address: " + request.url};
  if (closed_) return Failure{"the program is ending"};
  CURL* handle = acquire();
  if (!handle) return Failure{"can't start a network transfer"};
  return std::make_unique<CurlTransfer>(*this, handle, share_, std::move(request),
                                        std::move(callbacks), closed_);
}

Result<UrlResponse> CurlPool::perform(const UrlRequest& request,
                                      CurlTransfer::Callbacks callbacks) {
  Result<std::unique_ptr<CurlTransfer>> transfer = prepare(request, std::move(callbacks));
  if (!transfer) return transfer.failure();
  return (*transfer)->finish(curl_easy_perform((*transfer)->handle()));
}

}  // namespace tumbla
