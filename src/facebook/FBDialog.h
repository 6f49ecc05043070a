#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "facebook/FBDialogDelegate.h"
#include "facebook/FBParams.h"
#include "platform/ActivityIndicator.h"
#include "platform/Button.h"
#include "platform/Error.h"
#include "platform/Label.h"
#include "platform/RunLoop.h"
#include "platform/Url.h"
#include "platform/View.h"
#include "platform/WebView.h"
#include "platform/Window.h"

namespace tumbla {

// One of the social network's web pages shown in a framed panel over the whole game: a
// title bar (icon, title, close button) above a second web view. The dialog ends when the
// page goes to an "fbconnect" address: "fbconnect://cancel" cancels (or fails, when it
// carries an error code), any other one succeeds. Links the player follows to other
// addresses open outside the game.
class FBDialog : public WebViewDelegate, public std::enable_shared_from_this<FBDialog> {
 public:
  static constexpr std::string_view kDefaultTitle = "Connect to Facebook";
  static constexpr std::string_view kIconImage = "FBDialog.bundle/images/fbicon.png";
  static constexpr std::string_view kCloseImage = "FBDialog.bundle/images/close.png";
  // Panel timings: the bounce in, then the fade out.
  static constexpr double kBounceGrowSeconds = 0.2;
  static constexpr double kBounceShrinkSeconds = 0.15;
  static constexpr double kBounceSettleSeconds = 0.15;
  static constexpr double kFadeOutSeconds = 0.3;
  // The panel's look.
  static constexpr Color kFrameColor{0.3, 0.3, 0.3, 0.8};
  static constexpr double kFrameCornerRadius = 10;
  static constexpr Color kTitleBarColor{0.42578125, 0.515625, 0.703125, 1};
  static constexpr Color kTitleBarOutlineColor{0.23, 0.35, 0.6, 1};
  static constexpr Color kWebViewOutlineColor{0.3, 0.3, 0.3, 1};
  static constexpr Color kCloseTitleColor{167.0 / 255, 184.0 / 255, 216.0 / 255, 1};
  static constexpr double kSpinnerSize = 37;

  FBDialog();
  FBDialog(std::string serverURL, std::shared_ptr<FBParams> params, FBDialogDelegate* delegate);
  ~FBDialog() override;
  FBDialog(const FBDialog&) = delete;
  FBDialog& operator=(const FBDialog&) = delete;

  FBDialogDelegate* delegate() const { return delegate_; }
  void setDelegate(FBDialogDelegate* delegate) { delegate_ = delegate; }
  const std::shared_ptr<FBParams>& params() const { return params_; }
  void setParams(std::shared_ptr<FBParams> params) { params_ = std::move(params); }
  const std::string& serverURL() const { return serverURL_; }
  void setServerURL(std::string serverURL) { serverURL_ = std::move(serverURL); }
  const std::string& title() const;
  void setTitle(std::string title);

  // Loads the page and presents the panel over the key window.
  void show();
  void load();
  void loadURL(const std::string& url, const FBParams* params);
  // The page's address: the URL, "?" and the escaped parameters.
  static std::string generateURL(const std::string& url, const FBParams* params);
  // The value after the first `needle` in `url`, up to the next "&", percent-decoded;
  // nothing when the needle is absent or the value does not decode.
  static std::optional<std::string> getStringFromUrl(std::string_view url, std::string_view needle);

  // What an address the page goes to means for the dialog.
  struct Redirect {
    enum class Kind { None, Success, Cancel, Failure } kind = Kind::None;
    // For a failure: the server's code and message.
    long errorCode = 0;
    std::optional<std::string> errorMessage;
  };
  static Redirect readRedirect(const Url& url);

  virtual void dialogDidSucceed(const Url& url);
  virtual void dialogDidCancel(const std::optional<Url>& url);
  void dismissWithSuccess(bool success, bool animated);
  void dismissWithError(const Error& error, bool animated);
  // The close button.
  void cancel();
  void dismiss(bool animated);

  // WebViewDelegate
  bool shouldStartLoad(WebView& webView, const Url& url, NavigationType type) override;
  void didFinishLoad(WebView& webView) override;
  void didFailLoad(WebView& webView, const Error& error) override;
  // A dialog whose page crashed or hung is not brought back: it ends as a failed load.
  void webProcessDidEnd(WebView& webView) override;

  const std::shared_ptr<View>& panel() const { return panel_; }
  const std::shared_ptr<WebView>& webView() const { return webView_; }
  const std::shared_ptr<ImageView>& iconView() const { return iconView_; }
  const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<Button>& closeButton() const { return closeButton_; }
  const std::shared_ptr<ActivityIndicator>& spinner() const { return spinner_; }
  // The title bar's fill and outline, and the outline around the page.
  const std::shared_ptr<View>& titleBar() const { return titleBar_; }
  const std::shared_ptr<View>& webViewOutline() const { return webViewOutline_; }
  const std::optional<Url>& loadingURL() const { return loadingURL_; }
  // Whether the panel is on screen (until the fade-out has ended).
  bool isOnScreen() const { return window_.lock() != nullptr; }
  bool isDismissing() const { return dismissing_; }

 protected:
  virtual void dialogWillAppear() {}
  virtual void dialogWillDisappear() {}

 private:
  bool delegateResponds(FBDialogDelegate::Optional operation) const {
    return delegate_ != nullptr && delegate_->respondsTo(operation);
  }
  void sizeToFitOrientation();
  void layoutTitleBar();
  void bounceIn();
  void updateWebOrientation();
  void postDismissCleanup();

  FBDialogDelegate* delegate_ = nullptr;
  std::shared_ptr<FBParams> params_;
  std::string serverURL_;
  std::optional<Url> loadingURL_;
  std::shared_ptr<View> panel_;
  std::shared_ptr<WebView> webView_;
  std::shared_ptr<ImageView> iconView_;
  std::shared_ptr<Label> titleLabel_;
  std::shared_ptr<Button> closeButton_;
  std::shared_ptr<ActivityIndicator> spinner_;
  std::shared_ptr<View> titleBar_;
  std::shared_ptr<View> webViewOutline_;
  std::weak_ptr<Window> window_;
  bool dismissing_ = false;
  // The animation step running now (bounce or fade); dropping it stops the animation.
  std::shared_ptr<Timer> animation_;
  std::shared_ptr<Timer> animationStep_;
};

}  // namespace tumbla
