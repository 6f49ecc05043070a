#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Error.h"
#include "platform/Result.h"
#include "platform/Subscription.h"

namespace tumbla {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

// What to ask of a web server. Only http and https addresses are loaded; redirects are
// followed (a few at most), and every load has a time limit and a size bound, so a dead,
// slow or endless server ends in a failure instead of a hang.
struct UrlRequest {
  static constexpr std::size_t kDefaultMaxBodyBytes = 4 * 1024 * 1024;

  std::string url;
  std::string method = "GET";
  HttpHeaders headers;
  std::string body;
  double timeoutSeconds = 60;
  std::size_t maxBodyBytes = kDefaultMaxBodyBytes;
  // When set, turning it true makes a synchronous load in flight end soon with a failure
  // (another thread's way to stop one it no longer needs).
  std::shared_ptr<const std::atomic<bool>> cancelled;
};

struct UrlResponse {
  long statusCode = 0;
  HttpHeaders headers;

  // The first header of that name, compared without regard to ASCII case.
  std::optional<std::string> header(std::string_view name) const;
  bool isSuccess() const { return statusCode >= 200 && statusCode < 300; }
};

// A whole answer of a synchronous load.
struct UrlReply {
  UrlResponse response;
  std::string body;
};

// The callbacks of an asynchronous load; all arrive on the main thread, in this order:
// one response, data in pieces, then finish, or fail at any point instead. Unset ones
// are skipped.
struct UrlConnectionHandlers {
  std::function<void(const UrlResponse&)> didReceiveResponse;
  std::function<void(std::string_view data)> didReceiveData;
  std::function<void()> didFinishLoading;
  std::function<void(const Error&)> didFail;
};

// The domain of the errors a failed load reports.
inline constexpr std::string_view kUrlErrorDomain = "NSURLErrorDomain";

struct Cookie {
  std::string name;
  std::string value;
  // The host it belongs to, without a leading dot.
  std::string domain;
  std::string path = "/";
  bool secure = false;
  // Seconds since the epoch; nothing for a session cookie.
  std::optional<double> expires;

  bool operator==(const Cookie&) const = default;
};

// The cookies every load of the URL loader shares.
class CookieStorage {
 public:
  virtual ~CookieStorage() = default;

  virtual std::vector<Cookie> allCookies() const = 0;
  // Adds the cookie, replacing one of the same name, domain and path.
  virtual void setCookie(const Cookie& cookie) = 0;
  // Forgets every cookie of `host` and of its subdomains (ASCII case does not matter).
  virtual void deleteCookiesForHost(std::string_view host) = 0;
};

// Loads URLs over HTTP(S).
class UrlLoader {
 public:
  virtual ~UrlLoader() = default;

  // Loads the request and waits for the whole answer. Safe from any thread. A server
  // error status still answers its reply; no answer, a time-out, a body over the bound
  // or an address that is not http(s) is a failure.
  virtual Result<UrlReply> load(const UrlRequest& request) = 0;

  // Starts the load and returns at once; the handlers run on the main thread until the
  // answered subscription ends, which cancels the load. Main thread only.
  virtual Subscription start(UrlRequest request, UrlConnectionHandlers handlers) = 0;

  virtual CookieStorage& cookieStorage() = 0;
};

// True for a cookie that `host` would be sent: its domain is the host or a parent of it.
bool cookieDomainMatches(std::string_view cookieDomain, std::string_view host);

// True when `url` is an absolute http or https address with a host: the only addresses
// the loaders load and the only ones that come from outside that the host opens.
bool isWebAddress(std::string_view url);

}  // namespace tumbla
