#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "facebook/FBDialog.h"
#include "facebook/FBLoginDialog.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class RecordingDialogDelegate : public FBDialogDelegate {
 public:
  bool respondsTo(Optional operation) const override {
    return operation != Optional::ShouldOpenURLInExternalBrowser || answersExternal;
  }
  void dialogCompleteWithUrl(const Url& url) override {
    calls.push_back("complete " + url.absoluteString());
  }
  void dialogDidNotCompleteWithUrl(const std::optional<Url>& url) override {
    calls.push_back("notComplete " + (url ? url->absoluteString() : std::string("-")));
  }
  void dialogDidComplete(FBDialog&) override { calls.push_back("didComplete"); }
  void dialogDidNotComplete(FBDialog&) override { calls.push_back("didNotComplete"); }
  void dialogDidFailWithError(FBDialog&, const Error& error) override {
    calls.push_back("fail " + error.domain + " " + std::to_string(error.code));
    failure = error;
  }
  bool dialogShouldOpenURLInExternalBrowser(FBDialog&, const Url&) override {
    calls.push_back("external?");
    return allowExternal;
  }

  bool answersExternal = false;
  bool allowExternal = true;
  std::vector<std::string> calls;
  std::optional<Error> failure;
};

class RecordingLoginDelegate : public FBLoginDialogDelegate {
 public:
  void fbDialogLogin(const std::string& token, std::optional<Date> expiry) override {
    calls.push_back("login " + token);
    expirationDate = expiry;
  }
  void fbDialogNotLogin(bool cancelled) override {
    calls.push_back(cancelled ? "notLogin cancelled" : "notLogin failed");
  }
  std::vector<std::string> calls;
  std::optional<Date> expirationDate;
};

class FBDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = &SimPlatform::install();
    window = platform->userInterface().makeWindow({0, 0, 480, 320});
    platform->runLoop().advance(1000);
  }
  void TearDown() override { ApplicationContext::uninstall(); }

  SimWebView& dialogWebView(FBDialog& dialog) {
    return static_cast<SimWebView&>(*dialog.webView());
  }
  bool navigate(FBDialog& dialog, const std::string& url,
                NavigationType type = NavigationType::Other) {
    return dialogWebView(dialog).navigate(*Url::parse(url), type);
  }
  bool panelInWindow(FBDialog& dialog) {
    for (const auto& view : window->subviews()) {
      if (view == dialog.panel()) return true;
    }
    return false;
  }

  SimPlatform* platform = nullptr;
  std::shared_ptr<Window> window;
};

TEST_F(FBDialogTest, PageAddressEscapesValuesAndAlwaysUsesAQuestionMark) {
  auto params = FBParams::make({{"display", "touch"}, {"next", "fbconnect://success"}});
  EXPECT_EQ(FBDialog::generateURL("http://w.example/connect/uiserver.php", params.get()),
            "http://w.example/connect/uiserver.php?display=touch&next=fbconnect%3A%2F%2Fsuccess");
  EXPECT_EQ(FBDialog::generateURL("http://w.example/p?x=1", params.get()),
            "http://w.example/p?x=1?display=touch&next=fbconnect%3A%2F%2Fsuccess");
  EXPECT_EQ(FBDialog::generateURL("http://w.example/p", nullptr), "http://w.example/p");
}

TEST_F(FBDialogTest, ValuesAreReadFromAnywhereInTheAddress) {
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=1&y=2", "y="), "2");
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=1&y=2", "x="), "1");
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=1&y=2", "z="), std::nullopt);
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=a%26b", "x="), "a&b");
  EXPECT_EQ(FBDialog::getStringFromUrl("a#t=%E2%9C%93&u", "t="), "\xE2\x9C\x93");
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=", "x="), "");
  // Broken escapes and bytes that are not UTF-8 give nothing rather than garbage.
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=%zz", "x="), std::nullopt);
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=%", "x="), std::nullopt);
  EXPECT_EQ(FBDialog::getStringFromUrl("a?x=%FF", "x="), std::nullopt);
}

TEST_F(FBDialogTest, ShowLoadsThePageAndBouncesInOverTheWindow) {
  RecordingDialogDelegate delegate;
  auto dialog =
      std::make_shared<FBDialog>("http://w.example/d", FBParams::make({{"a", "b c"}}), &delegate);
  dialog->show();
  ASSERT_EQ(dialogWebView(*dialog).loadedURLs().size(), 1u);
  EXPECT_EQ(dialogWebView(*dialog).loadedURLs()[0].absoluteString(), "http://w.example/d?a=b%20c");
  EXPECT_TRUE(panelInWindow(*dialog));
  EXPECT_EQ(dialog->panel()->frame(), (Rect{10, 10, 460, 300}));
  // The title bar: icon, title and a close button the pointer can hit, all laid out.
  double icon = dialog->iconView()->frame().width;
  EXPECT_EQ(dialog->titleLabel()->frame(), (Rect{26 + icon, 10, 460 - 22 - (17 + icon + 16), 25}));
  EXPECT_EQ(dialog->closeButton()->frame(), (Rect{425, 10, 25, 25}));
  // The title bar runs across the frame down to the page; the page's outline shows one
  // point beside it and below it.
  Rect page = dialog->webView()->frame();
  Rect outline = dialog->webViewOutline()->frame();
  EXPECT_EQ(dialog->titleBar()->frame(), (Rect{10, 10, 440, 25}));
  EXPECT_EQ(outline, (Rect{page.x - 1, page.y, page.width + 2, page.height + 1}));
  EXPECT_EQ(outline.y, dialog->titleBar()->frame().y + dialog->titleBar()->frame().height);
  EXPECT_EQ(outline.x + outline.width, dialog->panel()->frame().width - 10);
  // The wheel turns in the middle of the page while it loads.
  const ActivityIndicator& spinner = *dialog->spinner();
  EXPECT_TRUE(spinner.isAnimating());
  EXPECT_DOUBLE_EQ(spinner.frame().x + spinner.frame().width / 2, page.x + page.width / 2);
  EXPECT_DOUBLE_EQ(spinner.frame().y + spinner.frame().height / 2, page.y + page.height / 2);
  EXPECT_NEAR(dialog->panel()->transform().a, 0.001, 1e-9);
  platform->runLoop().advance(0.2);
  EXPECT_NEAR(dialog->panel()->transform().a, 1.1, 0.05);
  platform->runLoop().advance(0.15);
  EXPECT_NEAR(dialog->panel()->transform().a, 0.9, 0.05);
  platform->runLoop().advance(0.2);
  EXPECT_TRUE(dialog->panel()->transform().isIdentity());

  dialogWebView(*dialog).setAnswer("document.title", "Log In");
  dialogWebView(*dialog).finishLoad();
  EXPECT_EQ(dialog->title(), "Log In");
  EXPECT_FALSE(spinner.isAnimating());
  EXPECT_EQ(dialogWebView(*dialog).scripts().back(),
            "document.body.setAttribute('orientation', 90);");
}

TEST_F(FBDialogTest, RedirectsEndTheDialogAndAreNeverLoaded) {
  RecordingDialogDelegate success;
  auto dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &success);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "fbconnect://success?post_id=1#x"));
  EXPECT_EQ(success.calls,
            (std::vector<std::string>{"complete fbconnect://success?post_id=1#x", "didComplete"}));
  EXPECT_TRUE(panelInWindow(*dialog));
  platform->runLoop().advance(0.31);
  EXPECT_FALSE(panelInWindow(*dialog));
  EXPECT_FALSE(dialog->loadingURL());

  RecordingDialogDelegate cancel;
  dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &cancel);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "fbconnect://cancel"));
  EXPECT_EQ(cancel.calls,
            (std::vector<std::string>{"notComplete fbconnect://cancel", "didNotComplete"}));
  // Nothing more once the outcome is known.
  EXPECT_FALSE(navigate(*dialog, "fbconnect://success"));
  EXPECT_EQ(cancel.calls.size(), 2u);

  RecordingDialogDelegate error;
  dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &error);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "fbconnect://cancel?error_code=100&error_msg=bad%20thing"));
  EXPECT_EQ(error.calls, std::vector<std::string>{"fail facebookErrDomain 100"});
  EXPECT_EQ(error.failure->userInfo.find("error_msg")->stringIf(), "bad thing");

  // A code with no message fails cleanly too; a short remainder counts as success.
  RecordingDialogDelegate bare;
  dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &bare);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "FBConnect://cancel?error_code=7"));
  EXPECT_EQ(bare.calls, std::vector<std::string>{"fail facebookErrDomain 7"});
  EXPECT_TRUE(bare.failure->userInfo.empty());
  RecordingDialogDelegate shortAddress;
  dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &shortAddress);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "fbconnect://can"));
  EXPECT_EQ(shortAddress.calls.front(), "complete fbconnect://can");
}

TEST_F(FBDialogTest, CloseButtonReportsOneCancel) {
  RecordingDialogDelegate delegate;
  auto dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &delegate);
  dialog->show();
  EXPECT_EQ(dialog->closeButton()->accessibleName(), "Close");
  EXPECT_TRUE(dialog->closeButton()->isCancelButton());
  EXPECT_EQ(dialog->titleLabel()->text(), "Connect to Facebook");
  dialog->closeButton()->sendAction();
  EXPECT_EQ(delegate.calls, (std::vector<std::string>{"notComplete -", "didNotComplete"}));
  platform->runLoop().advance(0.31);
  EXPECT_FALSE(panelInWindow(*dialog));
}

TEST_F(FBDialogTest, NavigationInsideStaysAndTouchedLinksGoOutside) {
  RecordingDialogDelegate delegate;
  auto dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &delegate);
  dialog->show();
  EXPECT_TRUE(navigate(*dialog, "http://w.example/d?", NavigationType::LinkClicked));
  EXPECT_TRUE(navigate(*dialog, "http://w.example/login", NavigationType::FormSubmitted));
  EXPECT_TRUE(navigate(*dialog, "http://w.example/next", NavigationType::Other));
  EXPECT_FALSE(navigate(*dialog, "http://help.example/", NavigationType::LinkClicked));
  ASSERT_EQ(platform->application().openedURLs().size(), 1u);
  EXPECT_EQ(platform->application().openedURLs()[0].absoluteString(), "http://help.example/");

  delegate.answersExternal = true;
  delegate.allowExternal = false;
  EXPECT_FALSE(navigate(*dialog, "http://help.example/2", NavigationType::LinkClicked));
  EXPECT_EQ(platform->application().openedURLs().size(), 1u);
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"external?"});
}

TEST_F(FBDialogTest, LoadFailuresOtherThanARefusedLoadEndTheDialog) {
  RecordingDialogDelegate delegate;
  auto dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &delegate);
  dialog->show();
  dialogWebView(*dialog).delegate()->didFailLoad(dialogWebView(*dialog),
                                                 Error{"WebKitPolicyError", 102, "", nullptr, {}});
  EXPECT_TRUE(delegate.calls.empty());
  dialogWebView(*dialog).delegate()->didFailLoad(dialogWebView(*dialog),
                                                 Error{"WebKitNetworkError", 302, "", nullptr, {}});
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"fail WebKitNetworkError 302"});

  // A page that crashes or hangs ends its dialog too, instead of leaving it blank.
  RecordingDialogDelegate crashed;
  dialog = std::make_shared<FBDialog>("http://w.example/d", FBParams::make(), &crashed);
  dialog->show();
  dialogWebView(*dialog).endWebProcess();
  EXPECT_EQ(crashed.calls, std::vector<std::string>{"fail TumblaWebProcessEnded 1"});
  EXPECT_TRUE(dialog->isDismissing());
  EXPECT_EQ(dialogWebView(*dialog).reloadCount(), 0);
}

TEST_F(FBDialogTest, LoginReadsTokenAndLifetime) {
  const Date now = platform->runLoop().now();
  struct Case {
    const char* redirect;
    const char* outcome;
    std::optional<Date> expiry;
  } cases[] = {
      {"fbconnect://success#access_token=T1&expires_in=3600", "login T1", now.addingSeconds(3600)},
      {"fbconnect://success#access_token=T2&expires_in=0", "login T2",
       FBLoginDialog::kDistantFuture},
      {"fbconnect://success#access_token=T3", "login T3", std::nullopt},
      {"fbconnect://success?expires_in=abc&access_token=a%2Bb%7C", "login a+b|",
       FBLoginDialog::kDistantFuture},
      // A plus is not a space here: only percent escapes are decoded.
      {"fbconnect://success#access_token=a+b&expires_in=0", "login a+b",
       FBLoginDialog::kDistantFuture},
      {"fbconnect://success#expires_in=-5&access_token=T5", "login T5", now.addingSeconds(-5)},
      {"fbconnect://success#access_token=&expires_in=60", "notLogin cancelled", std::nullopt},
      {"fbconnect://success#access_token=%ZZ", "notLogin cancelled", std::nullopt},
      {"fbconnect://success", "notLogin cancelled", std::nullopt},
      {"fbconnect://cancel", "notLogin cancelled", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.redirect);
    RecordingLoginDelegate delegate;
    auto dialog = std::make_shared<FBLoginDialog>("https://g.example/oauth/authorize",
                                                  FBParams::make(), &delegate);
    dialog->show();
    EXPECT_FALSE(navigate(*dialog, c.redirect));
    EXPECT_EQ(delegate.calls, std::vector<std::string>{c.outcome});
    EXPECT_EQ(delegate.expirationDate, c.expiry);
    EXPECT_TRUE(dialog->isDismissing());
  }
}

TEST_F(FBDialogTest, LoginCloseButtonAndFailuresReportOnce) {
  RecordingLoginDelegate closed;
  auto dialog = std::make_shared<FBLoginDialog>("https://g.example/oauth/authorize",
                                                FBParams::make(), &closed);
  dialog->show();
  dialog->cancel();
  EXPECT_EQ(closed.calls, std::vector<std::string>{"notLogin cancelled"});

  RecordingLoginDelegate failing;
  dialog = std::make_shared<FBLoginDialog>("https://g.example/oauth/authorize", FBParams::make(),
                                           &failing);
  dialog->show();
  auto& web = dialogWebView(*dialog);
  web.delegate()->didFailLoad(web, Error{"NSURLErrorDomain", -999, "", nullptr, {}});
  web.delegate()->didFailLoad(web, Error{"WebKitNetworkError", 302, "", nullptr, {}});
  web.delegate()->didFailLoad(web, Error{"WebKitErrorDomain", 102, "", nullptr, {}});
  EXPECT_TRUE(failing.calls.empty());
  EXPECT_FALSE(dialog->isDismissing());
  web.delegate()->didFailLoad(web, Error{"WebKitNetworkError", 0, "refused", nullptr, {}});
  web.delegate()->didFailLoad(web, Error{"WebKitNetworkError", 0, "refused", nullptr, {}});
  EXPECT_EQ(failing.calls, std::vector<std::string>{"notLogin failed"});

  RecordingLoginDelegate crashed;
  dialog = std::make_shared<FBLoginDialog>("https://g.example/oauth/authorize", FBParams::make(),
                                           &crashed);
  dialog->show();
  dialogWebView(*dialog).endWebProcess();
  EXPECT_EQ(crashed.calls, std::vector<std::string>{"notLogin failed"});

  // An error redirect is the base dialog's alone: the login delegate hears nothing.
  RecordingLoginDelegate errorRedirect;
  dialog = std::make_shared<FBLoginDialog>("https://g.example/oauth/authorize", FBParams::make(),
                                           &errorRedirect);
  dialog->show();
  EXPECT_FALSE(navigate(*dialog, "fbconnect://cancel?error_code=200&error_msg=denied"));
  EXPECT_TRUE(errorRedirect.calls.empty());
  EXPECT_TRUE(dialog->isDismissing());
}

}  // namespace
}  // namespace tumbla
