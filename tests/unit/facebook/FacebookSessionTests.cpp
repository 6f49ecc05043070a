#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "facebook/FBLoginDialog.h"
#include "facebook/Facebook.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

class RecordingSessionDelegate : public FBSessionDelegate {
 public:
  bool respondsTo(Optional) const override { return true; }
  void fbDidLogin() override { calls.push_back("login"); }
  void fbDidNotLogin(bool cancelled) override {
    calls.push_back(cancelled ? "notLogin cancelled" : "notLogin failed");
  }
  void fbDidLogout() override { calls.push_back("logout"); }
  std::vector<std::string> calls;
};

class FacebookSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = &SimPlatform::install();
    platform->userInterface().makeWindow({0, 0, 480, 320});
    platform->runLoop().advance(1000);
    previousSink_ = setLogSink([this](std::string_view line) { logged.emplace_back(line); });
  }
  void TearDown() override {
    session.reset();
    setLogSink(previousSink_);
    ApplicationContext::uninstall();
  }

  Facebook::Endpoints endpoints() {
    return {"https://graph.example/", "https://api.example/method/",
            "http://www.example/connect/uiserver.php", "http://login.example"};
  }
  SimWebView& webViewOf(const std::shared_ptr<FBDialog>& dialog) {
    return static_cast<SimWebView&>(*dialog->webView());
  }
  std::string loadedAddress(const std::shared_ptr<FBDialog>& dialog) {
    return webViewOf(dialog).loadedURLs().back().absoluteString();
  }
  void logIn(const std::string& redirect) {
    session->authorize("42", std::vector<std::string>{"publish_stream", "offline_access"},
                       &delegate);
    webViewOf(session->loginDialog()).navigate(*Url::parse(redirect));
  }

  SimPlatform* platform = nullptr;
  std::unique_ptr<Facebook> session = std::make_unique<Facebook>(endpoints());
  RecordingSessionDelegate delegate;
  std::vector<std::string> logged;

 private:
  LogSink previousSink_;
};

TEST_F(FacebookSessionTest, LoginShowsTheDialogWithItsParametersEveryTime) {
  session->authorize("42", std::vector<std::string>{"publish_stream", "offline_access"}, &delegate);
  EXPECT_EQ(loadedAddress(session->loginDialog()),
            "https://graph.example/oauth/authorize?client_id=42&type=user_agent"
            "&redirect_uri=fbconnect%3A%2F%2Fsuccess&display=touch&sdk=ios"
            "&scope=publish_stream%2Coffline_access");
  auto first = session->loginDialog();
  session->authorize("42", std::nullopt, &delegate);
  EXPECT_NE(session->loginDialog(), first);
  EXPECT_EQ(loadedAddress(session->loginDialog()).find("scope"), std::string::npos);
}

TEST_F(FacebookSessionTest, TokenIsValidOnlyWithAFutureExpiry) {
  EXPECT_FALSE(session->isSessionValid());
  logIn("fbconnect://success#access_token=TOKEN&expires_in=60");
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"login"});
  EXPECT_EQ(session->accessToken(), "TOKEN");
  EXPECT_TRUE(session->isSessionValid());
  platform->runLoop().advance(59);
  EXPECT_TRUE(session->isSessionValid());
  platform->runLoop().advance(1);  // exactly now: no longer valid
  EXPECT_FALSE(session->isSessionValid());

  logIn("fbconnect://success#access_token=NOEXPIRY");
  EXPECT_EQ(session->accessToken(), "NOEXPIRY");
  EXPECT_FALSE(session->expirationDate());
  EXPECT_FALSE(session->isSessionValid());

  // A failed login keeps the token there was.
  logIn("fbconnect://success#expires_in=5");
  EXPECT_EQ(delegate.calls.back(), "notLogin cancelled");
  EXPECT_EQ(session->accessToken(), "NOEXPIRY");
}

TEST_F(FacebookSessionTest, RequestsCarryFormatSdkAndTheTokenWhileValid) {
  auto params = FBParams::make({{"format", "xml"}, {"sdk", "android"}, {"q", "1"}});
  session->requestWithGraphPath("me/photos", params, "POST", nullptr);
  EXPECT_EQ(session->request()->url(), "https://graph.example/me/photos");
  EXPECT_EQ(session->request()->httpMethod(), "POST");
  EXPECT_EQ(session->request()->params(), params);  // the caller's, changed in place
  EXPECT_EQ(*params->findString("format"), "json");
  EXPECT_EQ(*params->findString("sdk"), "ios");
  EXPECT_EQ(params->find("access_token"), nullptr);

  logIn("fbconnect://success#access_token=T%2B1&expires_in=0");
  session->requestWithGraphPath("me", nullptr);
  EXPECT_EQ(session->request()->httpMethod(), "GET");
  EXPECT_EQ(*session->request()->params()->findString("access_token"), "T+1");
  EXPECT_EQ(session->request()->generateGetURL(),
            "https://graph.example/me?format=json&sdk=ios&access_token=T%2B1");
}

TEST_F(FacebookSessionTest, AStoredTokenOfASessionThatIsNotValidIsNeverSent) {
  struct Case {
    const char* redirect;
    double secondsLater;
  } cases[] = {
      {"fbconnect://success#access_token=EXPIRED&expires_in=60", 60},
      {"fbconnect://success#access_token=NOEXPIRY", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.redirect);
    logIn(c.redirect);
    platform->runLoop().advance(c.secondsLater);
    ASSERT_TRUE(session->accessToken());
    ASSERT_FALSE(session->isSessionValid());
    session->requestWithGraphPath("me", nullptr);
    EXPECT_EQ(session->request()->params()->find("access_token"), nullptr);
    session->requestWithParams(FBParams::make({{"method", "users.getInfo"}}), nullptr);
    EXPECT_EQ(session->request()->params()->find("access_token"), nullptr);
    session->dialog("feed", nullptr);
    EXPECT_EQ(loadedAddress(session->fbDialog()).find("access_token"), std::string::npos);
  }
}

TEST_F(FacebookSessionTest, RestRequestsTakeTheirMethodFromTheParameters) {
  auto params = FBParams::make({{"method", "users.getInfo"}, {"uids", "4"}});
  session->requestWithParams(params, nullptr);
  EXPECT_EQ(session->request()->url(), "https://api.example/method/users.getInfo");
  EXPECT_EQ(session->request()->httpMethod(), "GET");
  EXPECT_EQ(params->find("method"), nullptr);

  auto previous = session->request();
  session->requestWithParams(FBParams::make({{"uids", "4"}}), nullptr);
  EXPECT_EQ(session->request(), previous);
  EXPECT_EQ(logged, std::vector<std::string>{"API Method must be specified"});
}

TEST_F(FacebookSessionTest, OtherDialogsGetTheirMarkersAndTheDecodedToken) {
  logIn("fbconnect://success#access_token=a%252Bb&expires_in=0");
  EXPECT_EQ(session->accessToken(), "a%2Bb");
  session->dialog("feed", nullptr);
  EXPECT_EQ(loadedAddress(session->fbDialog()),
            "http://www.example/connect/uiserver.php?display=touch&sdk=ios&method=feed"
            "&next=fbconnect%3A%2F%2Fsuccess&cancel_url=fbconnect%3A%2F%2Fcancel"
            "&access_token=a%2Bb");

  // The "login" action is a login dialog that reports to the session.
  session->dialog("login", FBParams::make({{"client_id", "42"}}), nullptr);
  EXPECT_NE(dynamic_cast<FBLoginDialog*>(session->fbDialog().get()), nullptr);
  EXPECT_EQ(loadedAddress(session->fbDialog()),
            "https://graph.example/oauth/authorize?client_id=42&display=touch&sdk=ios"
            "&type=user_agent&redirect_uri=fbconnect%3A%2F%2Fsuccess");
  webViewOf(session->fbDialog()).navigate(*Url::parse("fbconnect://success#access_token=N"));
  EXPECT_EQ(session->accessToken(), "N");
}

TEST_F(FacebookSessionTest, LogoutExpiresTheSessionForgetsTheTokenAndTellsTheDelegate) {
  logIn("fbconnect://success#access_token=TOKEN&expires_in=0");
  CookieStorage& cookies = platform->urlLoader().cookieStorage();
  cookies.setCookie(Cookie{"c_user", "1", "login.example"});
  cookies.setCookie(Cookie{"keep", "1", "other.example"});
  session->logout(&delegate);
  ASSERT_EQ(cookies.allCookies().size(), 1u);
  EXPECT_EQ(cookies.allCookies()[0].name, "keep");
  EXPECT_EQ(platform->userInterface().webCookieDeletions(),
            std::vector<std::string>{"login.example"});
  EXPECT_EQ(session->request()->url(), "https://api.example/method/auth.expireSession");
  EXPECT_EQ(*session->request()->params()->findString("access_token"), "TOKEN");
  EXPECT_FALSE(session->accessToken());
  EXPECT_FALSE(session->expirationDate());
  EXPECT_EQ(delegate.calls, (std::vector<std::string>{"login", "logout"}));

  platform->runLoop().advance(1);  // the loader has no answer for it: a failure
  EXPECT_EQ(logged, std::vector<std::string>{"Failed to expire the session"});

  // Logged out already: the expire request still goes, without a token.
  session->logout(&delegate);
  EXPECT_EQ(session->request()->params()->find("access_token"), nullptr);
  EXPECT_EQ(delegate.calls.back(), "logout");
}

}  // namespace
}  // namespace tumbla
