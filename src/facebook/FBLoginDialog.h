#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "facebook/FBDialog.h"
#include "facebook/FBLoginDialogDelegate.h"
#include "value/Date.h"

namespace tumbla {

// The web dialog of the OAuth login: on the success address it reads the access token
// and its lifetime and hands them to the login delegate (the session); no token, a cancel
// or a page that fails to load is a failed login.
class FBLoginDialog : public FBDialog {
 public:
  // What a lifetime of 0 stands for: a token that never expires.
  static constexpr Date kDistantFuture{64092211200.0};

  FBLoginDialog(std::string url, std::shared_ptr<FBParams> loginParams,
                FBLoginDialogDelegate* loginDelegate);

  FBLoginDialogDelegate* loginDelegate() const { return loginDelegate_; }
  void setLoginDelegate(FBLoginDialogDelegate* delegate) { loginDelegate_ = delegate; }

  // The expiry a redirect address gives: nothing without "expires_in=", the distant
  // future for a lifetime of 0, otherwise `now` plus the lifetime in seconds.
  static std::optional<Date> expirationDateFromUrl(std::string_view url, Date now);

  void dialogDidSucceed(const Url& url) override;
  void dialogDidCancel(const std::optional<Url>& url) override;
  void didFailLoad(WebView& webView, const Error& error) override;

 private:
  FBLoginDialogDelegate* loginDelegate_;
};

}  // namespace tumbla
