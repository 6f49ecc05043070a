#pragma once

#include <string_view>

#include "platform/Error.h"
#include "value/Value.h"

namespace tumbla {

class FBRequest;
struct UrlResponse;

// What a request reports to its user. Every operation is optional: a delegate announces
// the ones it has through `respondsTo`, and the request calls an operation only after
// asking.
class FBRequestDelegate {
 public:
  enum class Optional { Loading, DidReceiveResponse, DidLoadRawResponse, DidLoad, DidFail };

  virtual ~FBRequestDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  // The exchange is about to open.
  virtual void requestLoading(FBRequest& /*request*/) {}
  // A response header arrived; the body collected so far starts again.
  virtual void requestDidReceiveResponse(FBRequest& /*request*/, const UrlResponse& /*response*/) {}
  // The whole body, before it is read.
  virtual void requestDidLoadRawResponse(FBRequest& /*request*/, std::string_view /*body*/) {}
  // The parsed dictionary or array, or the raw body as data when it was no JSON.
  virtual void requestDidLoad(FBRequest& /*request*/, const Value& /*result*/) {}
  // A transport failure, or an error answer from the server.
  virtual void requestDidFailWithError(FBRequest& /*request*/, const Error& /*error*/) {}
};

}  // namespace tumbla
