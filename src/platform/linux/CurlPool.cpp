#include "platform/linux/CurlPool.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tumbla {

namespace {

// Idle handles kept for reuse; more loads at once simply make more.
constexpr std::size_t kMaxIdleHandles = 4;
constexpr long kMaxRedirects = 8;

// One transfer's state, reached from libcurl's callbacks.
struct Transfer {
  const UrlRequest& request;
  const CurlPool::Callbacks& callbacks;
  const std::atomic<bool>& closed;
  CURL* handle;
  UrlResponse response;
  bool responseSent = false;
  std::size_t received = 0;
  bool tooLarge = false;

  void sendResponse() {
    if (responseSent) return;
    responseSent = true;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &response.statusCode);
    if (callbacks.response) callbacks.response(response);
  }
};

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::size_t onHeader(char* buffer, std::size_t size, std::size_t count, void* data) {
  auto& transfer = *static_cast<Transfer*>(data);
  std::string_view line(buffer, size * count);
  std::string_view content = trimmed(line);
  if (content.starts_with("HTTP/")) {
    // A new response begins (after an interim answer or a redirect): only the last counts.
    transfer.response.headers.clear();
  } else if (content.empty()) {
    long status = 0;
    curl_easy_getinfo(transfer.handle, CURLINFO_RESPONSE_CODE, &status);
    bool followed = status >= 300 && status < 400 && transfer.response.header("Location");
    if (status >= 200 && !followed) transfer.sendResponse();
  } else if (std::size_t colon = content.find(':'); colon != std::string_view::npos) {
    transfer.response.headers.emplace_back(std::string(trimmed(content.substr(0, colon))),
                                           std::string(trimmed(content.substr(colon + 1))));
  }
  return line.size();
}

std::size_t onData(char* buffer, std::size_t size, std::size_t count, void* data) {
  auto& transfer = *static_cast<Transfer*>(data);
  std::size_t length = size * count;
  transfer.sendResponse();
  transfer.received += length;
  if (transfer.received > transfer.request.maxBodyBytes) {
    transfer.tooLarge = true;
    return CURL_WRITEFUNC_ERROR;
  }
  if (transfer.callbacks.data && !transfer.callbacks.data(std::string_view(buffer, length))) {
    return CURL_WRITEFUNC_ERROR;
  }
  return length;
}

int onProgress(void* data, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<Transfer*>(data);
  const auto& requestCancelled = transfer.request.cancelled;
  bool stop = transfer.closed || (requestCancelled && *requestCancelled) ||
              (transfer.callbacks.cancelled && transfer.callbacks.cancelled());
  return stop ? 1 : 0;
}

// Loopback addresses never go through a proxy, whatever the environment says.
std::string noProxyList() {
  std::string list = "127.0.0.1,localhost,::1";
  for (const char* variable : {"no_proxy", "NO_PROXY"}) {
    if (const char* value = std::getenv(variable); value && *value) return list + "," + value;
  }
  return list;
}

}  // namespace

CurlPool::CurlPool() {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  share_ = curl_share_init();
  curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlPool::lockShare);
  curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlPool::unlockShare);
  curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
  for (curl_lock_data data : {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_DNS, CURL_LOCK_DATA_SSL_SESSION,
                              CURL_LOCK_DATA_CONNECT}) {
    curl_share_setopt(share_, CURLSHOPT_SHARE, data);
  }
  cookieHandle_ = curl_easy_init();
  curl_easy_setopt(cookieHandle_, CURLOPT_SHARE, share_);
  curl_easy_setopt(cookieHandle_, CURLOPT_COOKIEFILE, "");
}

CurlPool::~CurlPool() {
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

Result<UrlResponse> CurlPool::perform(const UrlRequest& request, const Callbacks& callbacks) {
  if (!isWebAddress(request.url)) return Failure{"not a web address: " + request.url};
  if (closed_) return Failure{"the program is ending"};
  CURL* handle = acquire();
  if (!handle) return Failure{"can't start a network transfer"};
  Transfer transfer{request, callbacks, closed_, handle, {}, false, 0, false};
  char problem[CURL_ERROR_SIZE] = {};
  std::string noProxy = noProxyList();
  curl_slist* headers = nullptr;
  for (const auto& [name, value] : request.headers) {
    std::string line = name;
    line.append(": ").append(value);
    headers = curl_slist_append(headers, line.c_str());
  }

  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(handle, CURLOPT_SHARE, share_);
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(std::max(request.timeoutSeconds, 0.001) * 1000));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(request.maxBodyBytes));
  curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, problem);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onData);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
  if (request.method == "POST") {
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, request.body.data());
  } else if (request.method != "GET") {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
    if (!request.body.empty()) {
      curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.body.size()));
      curl_easy_setopt(handle, CURLOPT_COPYPOSTFIELDS, request.body.data());
    }
  }

  CURLcode code = curl_easy_perform(handle);
  if (code == CURLE_OK) transfer.sendResponse();
  curl_slist_free_all(headers);
  release(handle);

  if (code == CURLE_OK) return transfer.response;
  if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
    return Failure{"the answer of " + request.url + " is larger than " +
                   std::to_string(request.maxBodyBytes) + " bytes"};
  }
  std::string reason = *problem ? problem : curl_easy_strerror(code);
  return Failure{"can't load " + request.url + ": " + reason};
}

}  // namespace tumbla
