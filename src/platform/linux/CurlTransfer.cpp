#include "platform/linux/CurlTransfer.h"

#include <algorithm>
#include <cstdlib>

#include "platform/linux/CurlPool.h"

namespace tumbla {

namespace {

constexpr long kMaxRedirects = 8;

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
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

CurlTransfer::CurlTransfer(CurlPool& pool, CURL* handle, CURLSH* share, UrlRequest request,
                           Callbacks callbacks, const std::atomic<bool>& closed)
    : pool_(pool),
      handle_(handle),
      request_(std::move(request)),
      callbacks_(std::move(callbacks)),
      closed_(closed) {
  for (const auto& [name, value] : request_.headers) {
    std::string line = name;
    line.append(": ").append(value);
    headers_ = curl_slist_append(headers_, line.c_str());
  }
  std::string noProxy = noProxyList();

  // libcurl copies every string option it is given; the header list and the error buffer
  // are this object's.
  curl_easy_setopt(handle_, CURLOPT_URL, request_.url.c_str());
  curl_easy_setopt(handle_, CURLOPT_SHARE, share);
  curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle_, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(handle_, CURLOPT_NOPROXY, noProxy.c_str());
  curl_easy_setopt(handle_, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS,
                   static_cast<long>(std::max(request_.timeoutSeconds, 0.001) * 1000));
  curl_easy_setopt(handle_, CURLOPT_MAXFILESIZE_LARGE,
                   static_cast<curl_off_t>(request_.maxBodyBytes));
  curl_easy_setopt(handle_, CURLOPT_ERRORBUFFER, problem_);
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers_);
  curl_easy_setopt(handle_, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(handle_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, onData);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(handle_, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle_, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(handle_, CURLOPT_XFERINFODATA, this);
  if (request_.method == "POST") {
    curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request_.body.size()));
    curl_easy_setopt(handle_, CURLOPT_COPYPOSTFIELDS, request_.body.data());
  } else if (request_.method != "GET") {
    curl_easy_setopt(handle_, CURLOPT_CUSTOMREQUEST, request_.method.c_str());
    if (!request_.body.empty()) {
      curl_easy_setopt(handle_, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request_.body.size()));
      curl_easy_setopt(handle_, CURLOPT_COPYPOSTFIELDS, request_.body.data());
    }
  }
}

CurlTransfer::~CurlTransfer() {
  pool_.release(handle_);
  curl_slist_free_all(headers_);
}

void CurlTransfer::sendResponse() {
  if (responseSent_) return;
  responseSent_ = true;
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &response_.statusCode);
  if (callbacks_.response) callbacks_.response(response_);
}

std::size_t CurlTransfer::onHeader(char* buffer, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  std::string_view line(buffer, size * count);
  std::string_view content = trimmed(line);
  if (content.starts_with("HTTP/")) {
    // A new response begins (after an interim answer or a redirect): only the last counts.
    transfer.response_.headers.clear();
  } else if (content.empty()) {
    long status = 0;
    curl_easy_getinfo(transfer.handle_, CURLINFO_RESPONSE_CODE, &status);
    bool followed = status >= 300 && status < 400 && transfer.response_.header("Location");
    if (status >= 200 && !followed) transfer.sendResponse();
  } else if (std::size_t colon = content.find(':'); colon != std::string_view::npos) {
    transfer.response_.headers.emplace_back(std::string(trimmed(content.substr(0, colon))),
                                            std::string(trimmed(content.substr(colon + 1))));
  }
  return line.size();
}

std::size_t CurlTransfer::onData(char* buffer, std::size_t size, std::size_t count, void* self) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  std::size_t length = size * count;
  transfer.sendResponse();
  transfer.received_ += length;
  if (transfer.received_ > transfer.request_.maxBodyBytes) {
    transfer.tooLarge_ = true;
    return CURL_WRITEFUNC_ERROR;
  }
  if (transfer.callbacks_.data && !transfer.callbacks_.data(std::string_view(buffer, length))) {
    return CURL_WRITEFUNC_ERROR;
  }
  return length;
}

int CurlTransfer::onProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto& transfer = *static_cast<CurlTransfer*>(self);
  const auto& requestCancelled = transfer.request_.cancelled;
  bool stop = transfer.closed_ || (requestCancelled && *requestCancelled) ||
              (transfer.callbacks_.cancelled && transfer.callbacks_.cancelled());
  return stop ? 1 : 0;
}

Result<UrlResponse> CurlTransfer::finish(CURLcode code) {
  if (code == CURLE_OK) {
    sendResponse();
    return response_;
  }
  if (tooLarge_ || code == CURLE_FILESIZE_EXCEEDED) {
    return Failure{"the answer of " + request_.url + " is larger than " +
                   std::to_string(request_.maxBodyBytes) + " bytes"};
  }
  std::string reason = *problem_ ? problem_ : curl_easy_strerror(code);
  return Failure{"can't load " + request_.url + ": " + reason};
}

}  // namespace tumbla
