#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "facebook/FBRequest.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

// Records every delegate call, in order; answers only for the operations it is given.
class RecordingRequestDelegate : public FBRequestDelegate {
 public:
  explicit RecordingRequestDelegate(
      std::vector<Optional> implemented = {Optional::Loading, Optional::DidReceiveResponse,
                                           Optional::DidLoadRawResponse, Optional::DidLoad,
                                           Optional::DidFail})
      : implemented_(std::move(implemented)) {}

  bool respondsTo(Optional operation) const override {
    return std::find(implemented_.begin(), implemented_.end(), operation) != implemented_.end();
  }
  void requestLoading(FBRequest&) override { calls.push_back("loading"); }
  void requestDidReceiveResponse(FBRequest&, const UrlResponse& response) override {
    calls.push_back("response " + std::to_string(response.statusCode));
  }
  void requestDidLoadRawResponse(FBRequest&, std::string_view body) override {
    calls.push_back("raw " + std::string(body));
  }
  void requestDidLoad(FBRequest&, const Value& result) override {
    calls.push_back("load");
    loaded = result;
  }
  void requestDidFailWithError(FBRequest&, const Error& error) override {
    calls.push_back("fail " + std::to_string(error.code));
    failure = error;
  }

  std::vector<std::string> calls;
  std::optional<Value> loaded;
  std::optional<Error> failure;

 private:
  std::vector<Optional> implemented_;
};

class FBRequestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimPlatform::install();
    previousSink_ = setLogSink([this](std::string_view line) { logged.emplace_back(line); });
  }
  void TearDown() override {
    setLogSink(previousSink_);
    ApplicationContext::uninstall();
  }

  static std::shared_ptr<FBRequest> make(std::shared_ptr<FBParams> params, std::string method,
                                         std::string url = "https://graph.example/me",
                                         FBRequestDelegate* delegate = nullptr) {
    return FBRequest::getRequestWithParams(std::move(params), std::move(method), delegate,
                                           std::move(url));
  }
  static FBParams::Image image(std::string bytes) {
    return FBParams::Image{std::make_shared<const std::string>(std::move(bytes))};
  }

  std::vector<std::string> logged;

 private:
  LogSink previousSink_;
};

TEST_F(FBRequestTest, QueryJoinsEscapedValuesAndLeavesKeysAndFilesAlone) {
  EXPECT_EQ(make(FBParams::make(), "GET")->generateGetURL(), "https://graph.example/me?");
  EXPECT_EQ(make(FBParams::make({{"a", "1"}}), "GET", "https://x.example/p?q=1")->generateGetURL(),
            "https://x.example/p?q=1&a=1");
  // Every byte but the unreserved ones is escaped, uppercase, UTF-8 byte by byte.
  auto params = FBParams::make(
      {{"k y", "a b&c"}, {"all", "!*'();:@&=+$,/?%#[]-._~Az09"}, {"utf", "\xC3\xA9\xE2\x82\xAC"}});
  EXPECT_EQ(make(params, "POST")->generateGetURL(),
            "https://graph.example/me?k y=a%20b%26c"
            "&all=%21%2A%27%28%29%3B%3A%40%26%3D%2B%24%2C%2F%3F%25%23%5B%5D-._~Az09"
            "&utf=%C3%A9%E2%82%AC");
  EXPECT_TRUE(logged.empty());

  params = FBParams::make({{"picture", image("PNG")}, {"message", "hi"}});
  EXPECT_EQ(make(params, "GET")->generateGetURL(), "https://graph.example/me?message=hi");
  EXPECT_EQ(logged, std::vector<std::string>{"can not use GET to upload a file"});
  EXPECT_EQ(make(params, "POST")->generateGetURL(), "https://graph.example/me?message=hi");
  EXPECT_EQ(logged.size(), 1u);
}

TEST_F(FBRequestTest, MultipartBodyIsExactByteForByte) {
  // Written out, not taken from the code: the server splits the body by these bytes.
  const std::string boundary = "3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f";
  const std::string delimiter = "\r\n--" + boundary + "\r\n";
  std::string png("\x89PNG\r\n\x1a\n\0\1", 10);
  auto params = FBParams::make(
      {{"picture", image(png)},
       {"message", "Love it \xE2\x9C\x93"},
       {"raw", FBParams::Data{std::make_shared<const std::string>(std::string("\0\xFF", 2))}},
       {"format", "json"}});
  std::string expected =
      "--" + boundary + "\r\n" + "Content-Disposition: form-data; name=\"message\"\r\n\r\n" +
      "Love it \xE2\x9C\x93" + delimiter +
      "Content-Disposition: form-data; name=\"format\"\r\n\r\njson" + delimiter +
      "Content-Disposition: form-data; filename=\"picture\"\r\n" +
      "Content-Type: image/png\r\n\r\n" + png + delimiter +
      "Content-Disposition: form-data; filename=\"raw\"\r\n" +
      "Content-Type: content/unknown\r\n\r\n" + std::string("\0\xFF", 2) + delimiter;
  EXPECT_EQ(make(params, "POST")->generatePostBody(), expected);

  // Fields only: no file section, the body still ends with the delimiter.
  EXPECT_EQ(
      make(FBParams::make({{"a", "b"}}), "POST")->generatePostBody(),
      "--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nb" + delimiter);
}

TEST_F(FBRequestTest, WireRequestHasTheHeadersMethodTimeoutAndBound) {
  auto post = make(FBParams::make({{"message", "m"}}), "POST")->wireRequest();
  EXPECT_EQ(post.url, "https://graph.example/me?message=m");
  EXPECT_EQ(post.method, "POST");
  using Headers = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(post.headers, (Headers{{"User-Agent", "FacebookConnect"},
                                   {"Content-Type",
                                    "multipart/form-data; "
                                    "boundary=3i2ndDfv2rTHiSisAbouNdArYfORhtTPEefj3q2f"}}));
  EXPECT_FALSE(post.body.empty());
  EXPECT_EQ(post.timeoutSeconds, 180);
  EXPECT_EQ(post.maxBodyBytes, FBRequest::kMaxResponseBytes);

  auto get = make(FBParams::make({{"message", "m"}}), "GET")->wireRequest();
  EXPECT_EQ(get.headers, (Headers{{"User-Agent", "FacebookConnect"}}));
  EXPECT_TRUE(get.body.empty());
  auto del = make(FBParams::make(), "DELETE")->wireRequest();
  EXPECT_EQ(del.method, "DELETE");
  EXPECT_TRUE(del.body.empty());
}

struct AnswerCase {
  const char* body;
  // "load:<json>", "raw" (the body as data), or "fail:<code>"
  const char* outcome;
  const char* errorMessage;
};

class FBAnswerRulesTest : public FBRequestTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FBAnswerRulesTest, BodyEndsInTheRightDelegateCall) {
  const AnswerCase& answer = GetParam();
  RecordingRequestDelegate delegate;
  auto request = make(FBParams::make(), "GET", "https://graph.example/me", &delegate);
  request->handleResponseData(answer.body);

  ASSERT_EQ(delegate.calls.size(), 2u);
  EXPECT_EQ(delegate.calls[0], "raw " + std::string(answer.body));
  std::string outcome = answer.outcome;
  if (outcome.starts_with("fail:")) {
    EXPECT_EQ(delegate.calls[1], "fail " + outcome.substr(5));
    ASSERT_TRUE(delegate.failure);
    EXPECT_EQ(delegate.failure->domain, "facebookErrDomain");
    const Value* message = delegate.failure->userInfo.find("error_msg");
    if (answer.errorMessage != nullptr) {
      ASSERT_NE(message, nullptr);
      EXPECT_EQ(message->stringIf(), answer.errorMessage);
    }
  } else if (outcome == "raw") {
    EXPECT_EQ(delegate.calls[1], "load");
    EXPECT_EQ(delegate.loaded, Value::data(answer.body));
  } else {
    EXPECT_EQ(delegate.calls[1], "load");
    ASSERT_TRUE(delegate.loaded);
    EXPECT_TRUE(delegate.loaded->isDictionary() || delegate.loaded->isArray());
    std::optional<Error> error;
    EXPECT_EQ(*delegate.loaded, FBRequest::parseJsonResponse(outcome.substr(5), error));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FBAnswerRulesTest,
    ::testing::Values(
        AnswerCase{"true", "load:{\"result\":\"true\"}", nullptr},
        AnswerCase{"false", "fail:10000", "This operation can not be completed"},
        AnswerCase{"[1,2]", "load:[1,2]", nullptr},
        AnswerCase{"{\"id\":\"1\"}", "load:{\"id\":\"1\"}", nullptr},
        AnswerCase{"{\"error\":{\"type\":\"OAuthException\"}}", "fail:10000", nullptr},
        AnswerCase{"{\"error_code\":190,\"error_msg\":\"bad token\"}", "fail:190", "bad token"},
        AnswerCase{"{\"error_code\":\"17\"}", "fail:17", nullptr},
        AnswerCase{"{\"error_msg\":\"oops\",\"id\":1}", "fail:10000", "oops"},
        AnswerCase{"{\"error_reason\":\"user_denied\"}", "fail:10000", nullptr},
        AnswerCase{"<html>busy</html>", "raw", nullptr}, AnswerCase{"", "raw", nullptr},
        AnswerCase{"True", "raw", nullptr}, AnswerCase{"\"text\"", "raw", nullptr},
        AnswerCase{"\xFF\xFE", "raw", nullptr}));

TEST_F(FBRequestTest, CompletionAsksBeforeEachCall) {
  // Only the raw body: no parsing, so even an error body reaches nothing else.
  RecordingRequestDelegate rawOnly({FBRequestDelegate::Optional::DidLoadRawResponse});
  make(FBParams::make(), "GET", "u:", &rawOnly)->handleResponseData("false");
  EXPECT_EQ(rawOnly.calls, std::vector<std::string>{"raw false"});

  // Failure only: a good body is parsed but has nobody to go to.
  RecordingRequestDelegate failOnly({FBRequestDelegate::Optional::DidFail});
  make(FBParams::make(), "GET", "u:", &failOnly)->handleResponseData("[1]");
  EXPECT_TRUE(failOnly.calls.empty());
  make(FBParams::make(), "GET", "u:", &failOnly)->handleResponseData("false");
  EXPECT_EQ(failOnly.calls, std::vector<std::string>{"fail 10000"});

  // No delegate at all is fine.
  make(FBParams::make(), "GET", "u:", nullptr)->handleResponseData("true");
}

TEST_F(FBRequestTest, ExchangeReportsInOrderAndStartsTheBodyAfresh) {
  RecordingRequestDelegate delegate;
  auto request = make(FBParams::make(), "GET", "https://graph.example/me", &delegate);
  request->connectionDidReceiveResponse(UrlResponse{301, {}});
  request->connectionDidReceiveData("ignored");
  request->connectionDidReceiveResponse(UrlResponse{200, {}});
  request->connectionDidReceiveData("[1,");
  request->connectionDidReceiveData("2]");
  EXPECT_EQ(request->responseText(), "[1,2]");
  request->connectionDidFinishLoading();
  EXPECT_EQ(delegate.calls,
            (std::vector<std::string>{"response 301", "response 200", "raw [1,2]", "load"}));
  EXPECT_FALSE(request->responseText());
  EXPECT_FALSE(request->loading());

  RecordingRequestDelegate failing;
  auto failed = make(FBParams::make(), "GET", "https://graph.example/me", &failing);
  failed->connectionDidFailWithError(Error{"NSURLErrorDomain", -1004, "refused", nullptr, {}});
  EXPECT_EQ(failing.calls, std::vector<std::string>{"fail -1004"});
  EXPECT_EQ(failing.failure->domain, "NSURLErrorDomain");
}

TEST_F(FBRequestTest, ConnectSendsTheRequestAndLivesUntilTheExchangeEnds) {
  auto& loader = static_cast<SimPlatform&>(Platform::shared()).urlLoader();
  auto& runLoop = static_cast<SimPlatform&>(Platform::shared()).runLoop();
  loader.setAnswer("https://graph.example/me/photos?message=hi",
                   {200, "{\"id\":\"7\"}", {}, 2.0, std::nullopt});
  RecordingRequestDelegate delegate;
  std::weak_ptr<FBRequest> weak;
  {
    auto request = make(FBParams::make({{"message", "hi"}, {"picture", image("PNG")}}), "POST",
                        "https://graph.example/me/photos", &delegate);
    weak = request;
    request->connect();
    EXPECT_TRUE(request->loading());
  }
  EXPECT_FALSE(weak.expired());
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"loading"});
  ASSERT_EQ(loader.requests().size(), 1u);
  EXPECT_EQ(loader.requests()[0].method, "POST");
  EXPECT_NE(loader.requests()[0].body.find("\r\n\r\nPNG\r\n--"), std::string::npos);

  runLoop.advance(2.0);
  EXPECT_EQ(delegate.calls,
            (std::vector<std::string>{"loading", "response 200", "raw {\"id\":\"7\"}", "load"}));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(loader.activeConnectionCount(), 0u);
}

TEST_F(FBRequestTest, ARequestStillWaitingIsReleasedSilentlyWhenThePlatformGoes) {
  auto& loader = static_cast<SimPlatform&>(Platform::shared()).urlLoader();
  auto& runLoop = static_cast<SimPlatform&>(Platform::shared()).runLoop();
  loader.setAnswer("https://graph.example/me?", {200, "{}", {}, 100.0, std::nullopt});
  RecordingRequestDelegate delegate;
  std::weak_ptr<FBRequest> weak;
  {
    auto request = make(FBParams::make(), "GET", "https://graph.example/me", &delegate);
    weak = request;
    request->connect();
  }
  runLoop.advance(50);
  EXPECT_FALSE(weak.expired());

  ApplicationContext::uninstall();
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"loading"});
}

TEST_F(FBRequestTest, FailuresOfTheExchangeReachTheDelegate) {
  auto& loader = static_cast<SimPlatform&>(Platform::shared()).urlLoader();
  auto& runLoop = static_cast<SimPlatform&>(Platform::shared()).runLoop();
  const std::string huge(FBRequest::kMaxResponseBytes + 1, ' ');
  loader.setAnswer("https://graph.example/big?", {200, huge, {}, 0, {}});
  for (const char* endpoint : {"https://graph.example/big", "https://graph.example/unreachable"}) {
    RecordingRequestDelegate delegate;
    make(FBParams::make(), "GET", endpoint, &delegate)->connect();
    runLoop.advance(1);
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"loading", "fail -1"}));
    EXPECT_EQ(delegate.failure->domain, "NSURLErrorDomain");
  }
}

TEST_F(FBRequestTest, TokensAreMarkedOutOfTextsForTheLog) {
  EXPECT_EQ(FBRequest::withoutAccessToken(
                "could not load https://g.example/me?access_token=S%2B1&format=json: refused"),
            "could not load https://g.example/me?access_token=(token)&format=json: refused");
  EXPECT_EQ(FBRequest::withoutAccessToken("a#access_token=X access_token=Y"),
            "a#access_token=(token) access_token=(token)");
  EXPECT_EQ(FBRequest::withoutAccessToken("access_token="), "access_token=(token)");
  EXPECT_EQ(FBRequest::withoutAccessToken("nothing here"), "nothing here");
}

TEST_F(FBRequestTest, DroppingARequestWithoutItsDelegateStopsTheReports) {
  auto& loader = static_cast<SimPlatform&>(Platform::shared()).urlLoader();
  auto& runLoop = static_cast<SimPlatform&>(Platform::shared()).runLoop();
  loader.setAnswer("https://graph.example/me?", {200, "[]", {}, 1.0, {}});
  RecordingRequestDelegate delegate;
  auto request = make(FBParams::make(), "GET", "https://graph.example/me", &delegate);
  request->connect();
  request->setDelegate(nullptr);
  runLoop.advance(1.0);
  EXPECT_EQ(delegate.calls, std::vector<std::string>{"loading"});
  EXPECT_FALSE(request->loading());
}

}  // namespace
}  // namespace tumbla
