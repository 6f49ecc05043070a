#include "facebook/FBDialog.h"

#include <cmath>
#include <utility>
#include <variant>
#include <vector>

#include "facebook/FBRequest.h"
#include "platform/Animation.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "value/LeadingNumber.h"
#include "value/PercentCoding.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

bool isPad() {
  return Platform::shared().application().deviceFacts().idiom == UserInterfaceIdiom::Pad;
}

AffineTransform scaled(double scale) {
  return AffineTransform{scale, 0, 0, scale, 0, 0};
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch + 32) : ch; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The fitted height of the title's bold system font.
double titleTextHeight() {
  return isPad() ? 22 : 17;
}

}  // namespace

FBDialog::FBDialog() {
  UserInterface& ui = Platform::shared().userInterface();
  // A dark translucent frame with rounded corners around the title bar and the page.
  panel_ = ui.makeView({});
  panel_->setBackgroundColor(kFrameColor);
  panel_->setCornerRadius(kFrameCornerRadius);
  titleBar_ = ui.makeView({});
  titleBar_->setBackgroundColor(kTitleBarColor);
  titleBar_->setBorderColor(kTitleBarOutlineColor);
  webViewOutline_ = ui.makeView({});
  webViewOutline_->setBorderColor(kWebViewOutlineColor);
  titleLabel_ = ui.makeLabel({}, std::string(kDefaultTitle),
                             LabelStyle{"Sans Bold", isPad() ? 18.0 : 14.0, Color{1, 1, 1, 1}, 1});
  webView_ = ui.makeWebView({10, 10, 480, 480});
  webView_->setDelegate(this);
  iconView_ = ui.makeImageView(ui.imageNamed(kIconImage));
  closeButton_ = ui.makeButton({}, ui.imageNamed(kCloseImage), "Close");
  closeButton_->setTitleStyle({"Sans Bold", 12, kCloseTitleColor, Color{1, 1, 1, 1}});
  closeButton_->setAction([this] {
    auto keep = weak_from_this().lock();
    cancel();
  });
  spinner_ = ui.makeActivityIndicator({0, 0, kSpinnerSize, kSpinnerSize}, Color{1, 1, 1, 1});
  panel_->addSubview(titleBar_);
  panel_->addSubview(webViewOutline_);
  closeButton_->setCancelButton(true);
  panel_->addSubview(titleLabel_);
  panel_->addSubview(webView_);
  panel_->addSubview(iconView_);
  panel_->addSubview(closeButton_);
  panel_->addSubview(spinner_);
}

FBDialog::FBDialog(std::string serverURL, std::shared_ptr<FBParams> params,
                   FBDialogDelegate* delegate)
    : FBDialog() {
  serverURL_ = std::move(serverURL);
  params_ = std::move(params);
  delegate_ = delegate;
}

FBDialog::~FBDialog() {
  // The web view may outlive the dialog inside the platform for a moment; it must not
  // call back into a dialog that is gone.
  webView_->setDelegate(nullptr);
  if (auto window = window_.lock()) window->removeSubview(*panel_);
}

const std::string& FBDialog::title() const {
  return titleLabel_->text();
}

void FBDialog::setTitle(std::string title) {
  titleLabel_->setText(std::move(title));
}

std::string FBDialog::generateURL(const std::string& url, const FBParams* params) {
  if (params == nullptr) return url;
  std::string pairs;
  for (const auto& [key, value] : *params) {
    // A page address can only carry text.
    const auto* text = std::get_if<std::string>(&value);
    if (text == nullptr) continue;
    if (!pairs.empty()) pairs.push_back('&');
    pairs.append(key);
    pairs.push_back('=');
    pairs.append(percentEncodeComponent(*text));
  }
  return url + "?" + pairs;
}

std::optional<std::string> FBDialog::getStringFromUrl(std::string_view url,
                                                      std::string_view needle) {
  std::size_t start = url.find(needle);
  if (needle.empty() || start == std::string_view::npos) return std::nullopt;
  std::string_view rest = url.substr(start + needle.size());
  return percentDecodeUtf8(rest.substr(0, rest.find('&')));
}

void FBDialog::show() {
  load();
  sizeToFitOrientation();
  layoutTitleBar();
  // The wheel turns over the page until its first load has finished.
  Rect page = webView_->frame();
  spinner_->setFrame({page.x + (page.width - kSpinnerSize) / 2,
                      page.y + (page.height - kSpinnerSize) / 2, kSpinnerSize, kSpinnerSize});
  spinner_->startAnimating();

  std::shared_ptr<Window> window = Platform::shared().userInterface().keyWindow();
  if (!window) {
    logLine("Facebook dialog: no window to show it in");
    return;
  }
  panel_->setAlpha(1);
  window->addSubview(panel_);
  window_ = window;
  dialogWillAppear();
  bounceIn();
}

void FBDialog::load() {
  loadURL(serverURL_, params_.get());
}

void FBDialog::loadURL(const std::string& url, const FBParams* params) {
  std::optional<Url> full = Url::parse(generateURL(url, params));
  if (!full) {
    logLine("Facebook dialog: not a page address");
    return;
  }
  loadingURL_ = full;
  webView_->loadURL(*full);
}

void FBDialog::sizeToFitOrientation() {
  // The game's window is always landscape, so the panel takes the screen's size turned
  // on its side, and is centred in the window.
  Rect screen = Platform::shared().userInterface().mainScreenBounds();
  double factor = isPad() ? 0.6 : 1.0;
  double width = std::floor(factor * screen.width) - 20;
  double height = std::floor(factor * screen.height) - 20;
  std::swap(width, height);
  double centerX = std::ceil(screen.height / 2);
  double centerY = std::ceil(screen.width / 2);
  panel_->setTransform({});
  panel_->setFrame({centerX - width / 2, centerY - height / 2, width, height});
}

void FBDialog::layoutTitleBar() {
  Rect frame = panel_->frame();
  double iconWidth = iconView_->frame().width;
  double iconHeight = iconView_->frame().height;
  double textHeight = titleTextHeight();
  double titleHeight = textHeight + 8;
  titleLabel_->setFrame(
      {26 + iconWidth, 10, frame.width - 22 - (textHeight + iconWidth + 16), titleHeight});
  iconView_->setFrame(
      {18, 10 + std::floor(titleHeight / 2 - iconHeight / 2), iconWidth, iconHeight});
  // A square as tall as the title bar at its right end: a target a pointer can hit.
  closeButton_->setFrame({frame.width - (titleHeight + 10), 10, titleHeight, titleHeight});
  double webHeight = frame.height - (titleHeight + 21);
  webView_->setFrame({11, 10 + titleHeight, frame.width - 22, webHeight});
  // The title bar across the frame, and the page's outline just around the page.
  titleBar_->setFrame({10, 10, frame.width - 20, titleHeight});
  webViewOutline_->setFrame({10, 10 + titleHeight, frame.width - 20, webHeight + 1});
}

void FBDialog::bounceIn() {
  struct Step {
    double from;
    double to;
    double seconds;
  };
  auto steps =
      std::make_shared<std::vector<Step>>(std::vector<Step>{{0.001, 1.1, kBounceGrowSeconds},
                                                            {1.1, 0.9, kBounceShrinkSeconds},
                                                            {0.9, 1.0, kBounceSettleSeconds}});
  RunLoop& runLoop = Platform::shared().runLoop();
  panel_->setTransform(scaled(0.001));
  Date start = runLoop.now();
  std::weak_ptr<FBDialog> weak = weak_from_this();
  animation_ = runLoop.scheduleTimer(1.0 / 60, true, [weak, steps, start, &runLoop] {
    auto self = weak.lock();
    if (!self) return;
    double elapsed = runLoop.now().secondsSince(start);
    for (const Step& step : *steps) {
      if (elapsed < step.seconds) {
        double t = elapsed / step.seconds;
        self->panel_->setTransform(scaled(step.from + (step.to - step.from) * t));
        return;
      }
      elapsed -= step.seconds;
    }
    self->panel_->setTransform({});
    self->animation_->invalidate();
  });
}

void FBDialog::updateWebOrientation() {
  Result<std::string> marked =
      webView_->evaluateScript("document.body.setAttribute('orientation', 90);");
  // A page without a body (still loading, or an error page) keeps its look.
  if (!marked) logLine("Facebook dialog: " + marked.reason());
}

void FBDialog::dialogDidSucceed(const Url& url) {
  if (delegateResponds(FBDialogDelegate::Optional::CompleteWithUrl)) {
    delegate_->dialogCompleteWithUrl(url);
  }
  dismissWithSuccess(true, true);
}

void FBDialog::dialogDidCancel(const std::optional<Url>& url) {
  if (delegateResponds(FBDialogDelegate::Optional::NotCompleteWithUrl)) {
    delegate_->dialogDidNotCompleteWithUrl(url);
  }
  dismissWithSuccess(false, true);
}

void FBDialog::dismissWithSuccess(bool success, bool animated) {
  using Optional = FBDialogDelegate::Optional;
  if (success && delegateResponds(Optional::DidComplete)) {
    delegate_->dialogDidComplete(*this);
  } else if (!success && delegateResponds(Optional::DidNotComplete)) {
    delegate_->dialogDidNotComplete(*this);
  }
  dismiss(animated);
}

void FBDialog::dismissWithError(const Error& error, bool animated) {
  if (delegateResponds(FBDialogDelegate::Optional::DidFail)) {
    delegate_->dialogDidFailWithError(*this, error);
  }
  dismiss(animated);
}

void FBDialog::cancel() {
  // The cancel path dismisses already; reporting the dismissal a second time would tell
  // the delegate of two cancels for one touch of the close button.
  dialogDidCancel(std::nullopt);
}

void FBDialog::dismiss(bool animated) {
  auto keep = weak_from_this().lock();
  if (dismissing_) return;
  dismissing_ = true;
  dialogWillDisappear();
  loadingURL_.reset();
  if (!animated) {
    postDismissCleanup();
    return;
  }
  RunLoop& runLoop = Platform::shared().runLoop();
  animation_ = animateAlpha(runLoop, panel_, 0, {0, kFadeOutSeconds, AnimationCurve::EaseInOut});
  std::weak_ptr<FBDialog> weak = weak_from_this();
  animationStep_ = runLoop.scheduleTimer(kFadeOutSeconds, false, [weak] {
    if (auto self = weak.lock()) self->postDismissCleanup();
  });
}

void FBDialog::postDismissCleanup() {
  animation_.reset();
  animationStep_.reset();
  if (auto window = window_.lock()) window->removeSubview(*panel_);
  window_.reset();
}

FBDialog::Redirect FBDialog::readRedirect(const Url& url) {
  if (!equalsIgnoringAsciiCase(url.scheme(), "fbconnect")) return {};
  const std::string& text = url.absoluteString();
  std::string_view specifier = std::string_view(text).substr(url.scheme().size() + 1);
  if (!specifier.starts_with("//cancel")) return {Redirect::Kind::Success};
  std::optional<std::string> errorCode = getStringFromUrl(text, "error_code=");
  if (!errorCode) return {Redirect::Kind::Cancel};
  return {Redirect::Kind::Failure, leadingInt32(*errorCode), getStringFromUrl(text, "error_msg=")};
}

bool FBDialog::shouldStartLoad(WebView& /*webView*/, const Url& url, NavigationType type) {
  // A dismissed dialog has reported its outcome; later loads of its page are refused.
  if (dismissing_) return false;
  auto keep = weak_from_this().lock();
  Redirect redirect = readRedirect(url);
  switch (redirect.kind) {
    case Redirect::Kind::None:
      break;
    case Redirect::Kind::Success:
      dialogDidSucceed(url);
      return false;
    case Redirect::Kind::Cancel:
      dialogDidCancel(url);
      return false;
    case Redirect::Kind::Failure: {
      Dictionary userInfo;
      // A code without a message still fails cleanly, with no message.
      if (redirect.errorMessage) userInfo.set("error_msg", *redirect.errorMessage);
      dismissWithError(FBRequest::formError(redirect.errorCode, std::move(userInfo)), true);
      return false;
    }
  }
  if ((loadingURL_ && url == *loadingURL_) || type != NavigationType::LinkClicked) return true;

  if (delegateResponds(FBDialogDelegate::Optional::ShouldOpenURLInExternalBrowser) &&
      !delegate_->dialogShouldOpenURLInExternalBrowser(*this, url)) {
    return false;
  }
  Platform::shared().application().openURL(url);
  return false;
}

void FBDialog::didFinishLoad(WebView& webView) {
  spinner_->stopAnimating();
  if (Result<std::string> title = webView.evaluateScript("document.title")) {
    setTitle(std::move(title.value()));
  }
  updateWebOrientation();
}

void FBDialog::didFailLoad(WebView& /*webView*/, const Error& error) {
  if (dismissing_ || isLoadInterruptedByPolicy(error)) return;
  dismissWithError(error, true);
}

void FBDialog::webProcessDidEnd(WebView& webView) {
  didFailLoad(webView, Error{std::string(kWebProcessEndedDomain),
                             1,
                             "the dialog's page crashed or stopped answering",
                             nullptr,
                             {}});
}

}  // namespace tumbla
