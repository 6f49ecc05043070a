#include "facebook/FBLoginDialog.h"

#include <utility>

#include "platform/Platform.h"
#include "value/LeadingNumber.h"
#include "value/Value.h"

namespace tumbla {

FBLoginDialog::FBLoginDialog(std::string url, std::shared_ptr<FBParams> loginParams,
                             FBLoginDialogDelegate* loginDelegate)
    : FBDialog(std::move(url), std::move(loginParams), nullptr), loginDelegate_(loginDelegate) {}

std::optional<Date> FBLoginDialog::expirationDateFromUrl(std::string_view url, Date now) {
  constexpr std::string_view needle = "expires_in=";
  if (url.find(needle) == std::string_view::npos) return std::nullopt;
  // A lifetime that is not a number (or does not decode) counts as 0: never expires.
  std::int32_t seconds = leadingInt32(getStringFromUrl(url, needle).value_or(""));
  if (seconds == 0) return kDistantFuture;
  return now.addingSeconds(seconds);
}

void FBLoginDialog::dialogDidSucceed(const Url& url) {
  auto keep = weak_from_this().lock();
  const std::string& text = url.absoluteString();
  std::optional<std::string> token = getStringFromUrl(text, "access_token=");
  if (!token || token->empty()) {
    dialogDidCancel(url);
    return;
  }
  std::optional<Date> expiry = expirationDateFromUrl(text, Platform::shared().runLoop().now());
  if (loginDelegate_ != nullptr) loginDelegate_->fbDialogLogin(*token, expiry);
  dismissWithSuccess(true, true);
}

void FBLoginDialog::dialogDidCancel(const std::optional<Url>& /*url*/) {
  auto keep = weak_from_this().lock();
  dismissWithSuccess(false, true);
  if (loginDelegate_ != nullptr) loginDelegate_->fbDialogNotLogin(true);
}

void FBLoginDialog::didFailLoad(WebView& webView, const Error& error) {
  if (isDismissing() || isLoadCancelled(error) || isLoadInterruptedByPolicy(error)) return;
  auto keep = weak_from_this().lock();
  FBDialog::didFailLoad(webView, error);
  if (loginDelegate_ != nullptr) loginDelegate_->fbDialogNotLogin(false);
}

}  // namespace tumbla
