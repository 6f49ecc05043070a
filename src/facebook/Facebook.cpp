#include "facebook/Facebook.h"

#include <algorithm>
#include <utility>

#include "facebook/FBLoginDialog.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/Url.h"
#include "value/PercentCoding.h"
#include "value/Utf8.h"

namespace tumbla {

Facebook::Facebook() : Facebook(Endpoints{}) {}

Facebook::Facebook(Endpoints endpoints) : endpoints_(std::move(endpoints)) {}

Facebook::~Facebook() {
  for (const std::weak_ptr<FBRequest>& made : madeRequests_) {
    if (auto request = made.lock()) request->setDelegate(nullptr);
  }
  if (loginDialog_) static_cast<FBLoginDialog&>(*loginDialog_).setLoginDelegate(nullptr);
}

void Facebook::authorize(const std::string& applicationId,
                         const std::optional<std::vector<std::string>>& permissions,
                         FBSessionDelegate* delegate) {
  auto params = FBParams::make({{"client_id", applicationId},
                                {"type", "user_agent"},
                                {"redirect_uri", std::string(kSuccessURL)},
                                {"display", "touch"},
                                {"sdk", "ios"}});
  if (permissions) {
    std::string scope;
    for (const std::string& permission : *permissions) {
      if (!scope.empty()) scope.push_back(',');
      scope.append(permission);
    }
    params->set("scope", scope);
  }
  sessionDelegate_ = delegate;

  if (loginDialog_) static_cast<FBLoginDialog&>(*loginDialog_).setLoginDelegate(nullptr);
  loginDialog_ = std::make_shared<FBLoginDialog>(endpoints_.oauthURL(), params, this);
  loginDialog_->show();
}

bool Facebook::isSessionValid() const {
  return accessToken_ && expirationDate_ && *expirationDate_ > Platform::shared().runLoop().now();
}

void Facebook::requestWithGraphPath(const std::string& graphPath, FBRequestDelegate* delegate) {
  requestWithGraphPath(graphPath, FBParams::make(), "GET", delegate);
}

void Facebook::requestWithGraphPath(const std::string& graphPath, std::shared_ptr<FBParams> params,
                                    FBRequestDelegate* delegate) {
  requestWithGraphPath(graphPath, std::move(params), "GET", delegate);
}

void Facebook::requestWithGraphPath(const std::string& graphPath, std::shared_ptr<FBParams> params,
                                    const std::string& httpMethod, FBRequestDelegate* delegate) {
  openUrl(endpoints_.graphURL + graphPath, std::move(params), httpMethod, delegate);
}

void Facebook::requestWithMethodName(const std::string& methodName,
                                     std::shared_ptr<FBParams> params,
                                     const std::string& httpMethod, FBRequestDelegate* delegate) {
  openUrl(endpoints_.restURL + methodName, std::move(params), httpMethod, delegate);
}

void Facebook::requestWithParams(std::shared_ptr<FBParams> params, FBRequestDelegate* delegate) {
  const std::string* method = params ? params->findString("method") : nullptr;
  if (method == nullptr) {
    logLine("API Method must be specified");
    return;
  }
  std::string methodName = *method;
  params->erase("method");
  requestWithMethodName(methodName, std::move(params), "GET", delegate);
}

void Facebook::openUrl(const std::string& url, std::shared_ptr<FBParams> params,
                       const std::string& httpMethod, FBRequestDelegate* delegate) {
  if (!params) params = FBParams::make();
  params->set("format", "json");
  params->set("sdk", "ios");
  if (isSessionValid()) params->set("access_token", *accessToken_);

  std::erase_if(madeRequests_, [](const std::weak_ptr<FBRequest>& made) { return made.expired(); });
  request_ = FBRequest::getRequestWithParams(std::move(params), httpMethod, delegate, url);
  madeRequests_.push_back(request_);
  request_->connect();
}

void Facebook::dialog(const std::string& action, FBDialogDelegate* delegate) {
  dialog(action, FBParams::make(), delegate);
}

void Facebook::dialog(const std::string& action, std::shared_ptr<FBParams> params,
                      FBDialogDelegate* delegate) {
  if (!params) params = FBParams::make();
  params->set("display", "touch");
  params->set("sdk", "ios");

  std::shared_ptr<FBDialog> made;
  if (action == "login") {
    params->set("type", "user_agent");
    params->set("redirect_uri", std::string(kSuccessURL));
    made = std::make_shared<FBLoginDialog>(endpoints_.oauthURL(), params, this);
  } else {
    params->set("method", action);
    params->set("next", std::string(kSuccessURL));
    params->set("cancel_url", std::string(kCancelURL));
    if (isSessionValid()) {
      // A token that does not decode goes as it is rather than not at all.
      params->set("access_token", percentDecodeUtf8(*accessToken_).value_or(*accessToken_));
    }
    made = std::make_shared<FBDialog>(endpoints_.dialogURL, params, delegate);
  }
  fbDialog_ = std::move(made);
  fbDialog_->show();
}

void Facebook::logout(FBSessionDelegate* delegate) {
  sessionDelegate_ = delegate;
  requestWithMethodName("auth.expireSession", FBParams::make(), "GET", this);
  accessToken_.reset();
  expirationDate_.reset();
  removeLoginCookies();
  if (sessionDelegateResponds(FBSessionDelegate::Optional::DidLogout)) {
    sessionDelegate_->fbDidLogout();
  }
}

void Facebook::removeLoginCookies() {
  std::optional<Url> login = Url::parse(endpoints_.loginURL);
  if (!login || !login->host()) return;
  Platform::shared().urlLoader().cookieStorage().deleteCookiesForHost(*login->host());
  Platform::shared().userInterface().deleteWebCookiesForHost(*login->host());
}

void Facebook::fbDialogLogin(const std::string& token, std::optional<Date> expirationDate) {
  accessToken_ = token;
  expirationDate_ = expirationDate;
  if (sessionDelegateResponds(FBSessionDelegate::Optional::DidLogin)) {
    sessionDelegate_->fbDidLogin();
  }
}

void Facebook::fbDialogNotLogin(bool cancelled) {
  if (sessionDelegateResponds(FBSessionDelegate::Optional::DidNotLogin)) {
    sessionDelegate_->fbDidNotLogin(cancelled);
  }
}

void Facebook::requestDidFailWithError(FBRequest& /*request*/, const Error& /*error*/) {
  logLine("Failed to expire the session");
}

}  // namespace tumbla
