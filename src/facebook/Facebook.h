#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "facebook/FBDialog.h"
#include "facebook/FBDialogDelegate.h"
#include "facebook/FBLoginDialogDelegate.h"
#include "facebook/FBParams.h"
#include "facebook/FBRequest.h"
#include "facebook/FBRequestDelegate.h"
#include "facebook/FBSessionDelegate.h"
#include "value/Date.h"

namespace tumbla {

// The client's session: logs in through the login dialog, keeps the access token (in
// memory only; every launch starts logged out), sends API requests with the parameters
// every request carries, opens the other web dialogs and logs out.
class Facebook : public FBLoginDialogDelegate, public FBRequestDelegate {
 public:
  // Where the service lives. Only scheme and path are the client's; the hosts are
  // deployment values.
  struct Endpoints {
    std::string graphURL = "https://graph.facebook.com/";
    std::string restURL = "https://api.facebook.com/method/";
    std::string dialogURL = "http://www.facebook.com/connect/uiserver.php";
    // Its cookies are the login's, removed at logout.
    std::string loginURL = "http://login.facebook.com";

    std::string oauthURL() const { return graphURL + "oauth/authorize"; }
  };

  static constexpr std::string_view kSuccessURL = "fbconnect://success";
  static constexpr std::string_view kCancelURL = "fbconnect://cancel";

  Facebook();
  explicit Facebook(Endpoints endpoints);
  ~Facebook() override;
  Facebook(const Facebook&) = delete;
  Facebook& operator=(const Facebook&) = delete;

  const std::optional<std::string>& accessToken() const { return accessToken_; }
  void setAccessToken(std::optional<std::string> token) { accessToken_ = std::move(token); }
  const std::optional<Date>& expirationDate() const { return expirationDate_; }
  void setExpirationDate(std::optional<Date> date) { expirationDate_ = date; }
  FBSessionDelegate* sessionDelegate() const { return sessionDelegate_; }
  void setSessionDelegate(FBSessionDelegate* delegate) { sessionDelegate_ = delegate; }
  const Endpoints& endpoints() const { return endpoints_; }

  // Shows the login dialog, every time; `permissions` become the "scope".
  void authorize(const std::string& applicationId,
                 const std::optional<std::vector<std::string>>& permissions,
                 FBSessionDelegate* delegate);
  void logout(FBSessionDelegate* delegate);
  // A token and an expiry date strictly later than now.
  bool isSessionValid() const;

  void requestWithGraphPath(const std::string& graphPath, FBRequestDelegate* delegate);
  void requestWithGraphPath(const std::string& graphPath, std::shared_ptr<FBParams> params,
                            FBRequestDelegate* delegate);
  void requestWithGraphPath(const std::string& graphPath, std::shared_ptr<FBParams> params,
                            const std::string& httpMethod, FBRequestDelegate* delegate);
  void requestWithMethodName(const std::string& methodName, std::shared_ptr<FBParams> params,
                             const std::string& httpMethod, FBRequestDelegate* delegate);
  // A REST request named by the "method" parameter, which is taken out.
  void requestWithParams(std::shared_ptr<FBParams> params, FBRequestDelegate* delegate);
  // The step every request goes through.
  void openUrl(const std::string& url, std::shared_ptr<FBParams> params,
               const std::string& httpMethod, FBRequestDelegate* delegate);

  void dialog(const std::string& action, FBDialogDelegate* delegate);
  void dialog(const std::string& action, std::shared_ptr<FBParams> params,
              FBDialogDelegate* delegate);

  // FBLoginDialogDelegate
  void fbDialogLogin(const std::string& token, std::optional<Date> expirationDate) override;
  void fbDialogNotLogin(bool cancelled) override;

  // FBRequestDelegate: only the session's own request (the logout) reports here.
  bool respondsTo(FBRequestDelegate::Optional operation) const override {
    return operation == FBRequestDelegate::Optional::DidFail;
  }
  void requestDidFailWithError(FBRequest& request, const Error& error) override;

  const std::shared_ptr<FBRequest>& request() const { return request_; }
  const std::shared_ptr<FBDialog>& loginDialog() const { return loginDialog_; }
  const std::shared_ptr<FBDialog>& fbDialog() const { return fbDialog_; }

 private:
  // Removes the login host's cookies from the storage the dialogs and requests share.
  void removeLoginCookies();
  bool sessionDelegateResponds(FBSessionDelegate::Optional operation) const {
    return sessionDelegate_ != nullptr && sessionDelegate_->respondsTo(operation);
  }

  Endpoints endpoints_;
  std::optional<std::string> accessToken_;
  std::optional<Date> expirationDate_;
  FBSessionDelegate* sessionDelegate_ = nullptr;
  std::shared_ptr<FBRequest> request_;
  std::shared_ptr<FBDialog> loginDialog_;
  std::shared_ptr<FBDialog> fbDialog_;
  // Every request made here that may still be running: when the session goes, they
  // carry on to their end but report to nobody, since their delegates are the session
  // and its owner.
  std::vector<std::weak_ptr<FBRequest>> madeRequests_;
};

}  // namespace tumbla
