#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "facebook/FBParams.h"
#include "facebook/FBRequestDelegate.h"
#include "platform/Error.h"
#include "platform/Subscription.h"
#include "platform/UrlLoading.h"
#include "value/Value.h"

namespace tumbla {

// One HTTP exchange with the social network's API: the endpoint, the method and the
// parameters become a query and, for a POST, a multipart body; the answer is collected,
// read as JSON and reported to the delegate. A running request keeps itself alive until
// its exchange has ended, even when its maker lets go of it.
class FBRequest : public std::enable_shared_from_this<FBRequest> {
  // Only getRequestWithParams makes requests: an exchange needs its request shared-owned.
  struct Making {
    explicit Making() = default;
  };

 public:
  static constexpr std::string_view kBoundary = "3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f";
  static constexpr std::string_view kUserAgent = "FacebookConnect";
  static constexpr double kTimeoutSeconds = 180;
  static constexpr std::string_view kErrorDomain = "facebookErrDomain";
  static constexpr long kGeneralErrorCode = 10000;
  // An answer larger than this is not one the API gives; reading stops there and the
  // request fails, so a runaway server cannot fill the memory.
  static constexpr std::size_t kMaxResponseBytes = std::size_t{8} << 20;

  // A new request, not yet started; the delegate is not owned and may be absent.
  static std::shared_ptr<FBRequest> getRequestWithParams(std::shared_ptr<FBParams> params,
                                                         std::string httpMethod,
                                                         FBRequestDelegate* delegate,
                                                         std::string requestURL);

  FBRequest(Making, std::shared_ptr<FBParams> params, std::string httpMethod,
            FBRequestDelegate* delegate, std::string requestURL);
  ~FBRequest();
  FBRequest(const FBRequest&) = delete;
  FBRequest& operator=(const FBRequest&) = delete;

  FBRequestDelegate* delegate() const { return delegate_; }
  void setDelegate(FBRequestDelegate* delegate) { delegate_ = delegate; }
  const std::string& url() const { return url_; }
  void setUrl(std::string url) { url_ = std::move(url); }
  const std::string& httpMethod() const { return httpMethod_; }
  void setHttpMethod(std::string method) { httpMethod_ = std::move(method); }
  const std::shared_ptr<FBParams>& params() const { return params_; }
  void setParams(std::shared_ptr<FBParams> params) { params_ = std::move(params); }
  // The body collected so far; nothing outside an exchange.
  const std::optional<std::string>& responseText() const { return responseText_; }

  // Opens the exchange.
  void connect();
  // Whether an exchange is running.
  bool loading() const { return connection_.isActive(); }

  // The URL with the string parameters as its query; used for every method.
  std::string generateGetURL() const;
  // The multipart body: the one copy of an image the upload makes.
  std::string generatePostBody() const;
  static void utfAppendBody(std::string& body, std::string_view text);
  // The whole request as `connect` sends it. The loader keeps no cache, so the answer
  // always comes from the server.
  UrlRequest wireRequest() const;

  // Reads an answer body: the parsed result, or nothing; `error` is set when the body is
  // an error answer (and then the result, if any, must not be delivered).
  static std::optional<Value> parseJsonResponse(std::string_view data, std::optional<Error>& error);
  static Error formError(long code, Dictionary userInfo);
  // `text` (an address, an error's description) with every access token replaced by a
  // mark, fit for the log and the trace.
  static std::string withoutAccessToken(std::string_view text);
  void failWithError(const Error& error);
  // The completion dispatch for a finished body.
  void handleResponseData(const std::string& data);

  // The connection's reports, in the order it makes them.
  void connectionDidReceiveResponse(const UrlResponse& response);
  void connectionDidReceiveData(std::string_view data);
  void connectionDidFinishLoading();
  void connectionDidFailWithError(const Error& error);

 private:
  bool delegateResponds(FBRequestDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }
  // Drops the connection and the collected body.
  void endExchange();
  // Fails an answer whose status is an error.
  void failWithStatus(std::string_view body);

  FBRequestDelegate* delegate_;
  std::string url_;
  std::string httpMethod_;
  std::shared_ptr<FBParams> params_;
  // Ends the platform's connection when cancelled.
  Subscription connection_;
  std::optional<std::string> responseText_;
  // The answer's HTTP status; a status outside 2xx fails the request whatever its body.
  long statusCode_ = 0;
};

}  // namespace tumbla
