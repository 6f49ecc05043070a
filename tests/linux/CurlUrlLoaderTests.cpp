#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "TestSupport.h"
#include "platform/linux/CurlUrlLoader.h"
#include "platform/linux/GLibRunLoop.h"

namespace tumbla {
namespace {

using testing::LoopbackHttpServer;
using testing::pumpUntil;
using testing::threadNames;
using testing::threadsLeftOver;

class CurlUrlLoaderTest : public ::testing::Test {
 protected:
  UrlRequest request(const std::string& target, double timeout = 20) {
    UrlRequest made;
    made.url = server_.url(target);
    made.timeoutSeconds = timeout;
    return made;
  }

  LoopbackHttpServer server_;
  HostDispatcher dispatcher_;
  GLibRunLoop runLoop_{dispatcher_};
  CurlUrlLoader loader_{runLoop_};
};

TEST_F(CurlUrlLoaderTest, ASynchronousLoadAnswersStatusHeadersAndTheWholeBody) {
  server_.route("/list.plist?app=1", {200, "<plist/>\r\nsecond line", {{"X-Kind", "list"}}});
  server_.route("/missing", {404, "not here"});

  Result<UrlReply> reply = loader_.load(request("/list.plist?app=1"));
  ASSERT_TRUE(reply) << reply.reason();
  EXPECT_EQ(reply->response.statusCode, 200);
  EXPECT_TRUE(reply->response.isSuccess());
  EXPECT_EQ(reply->response.header("x-kind"), "list");
  EXPECT_EQ(reply->body, "<plist/>\r\nsecond line");

  // A server's error page is still an answer; the caller decides what it means.
  Result<UrlReply> missing = loader_.load(request("/missing"));
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->response.statusCode, 404);
  EXPECT_FALSE(missing->response.isSuccess());
}

TEST_F(CurlUrlLoaderTest, DeadSlowEndlessAndLoopingServersFailInsteadOfHanging) {
  server_.route("/hang", {.hang = true});
  server_.route("/huge", {.streamedBytes = 50 * 1024 * 1024});
  server_.route("/announced", {200, std::string(200 * 1024, 'x')});
  server_.route("/loop", {302, "", {{"Location", "/loop"}}});

  UrlRequest refused;
  refused.url = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/";
  EXPECT_FALSE(loader_.load(refused));

  Result<UrlReply> hung = loader_.load(request("/hang", 1));
  ASSERT_FALSE(hung);
  EXPECT_NE(hung.reason().find("/hang"), std::string::npos) << hung.reason();

  Result<UrlReply> huge = loader_.load(request("/huge"));
  ASSERT_FALSE(huge);
  EXPECT_NE(huge.reason().find("larger than"), std::string::npos) << huge.reason();

  UrlRequest bounded = request("/announced");
  bounded.maxBodyBytes = 100 * 1024;
  EXPECT_FALSE(loader_.load(bounded));

  EXPECT_FALSE(loader_.load(request("/loop")));
  EXPECT_LE(server_.requestCount("/loop"), 10u);
}

TEST_F(CurlUrlLoaderTest, OnlyWebAddressesAreLoadedAndOnlyWebRedirectsFollowed) {
  for (const char* url : {"file:///etc/hostname", "ftp://127.0.0.1/", "", "not a url"}) {
    UrlRequest made;
    made.url = url;
    EXPECT_FALSE(loader_.load(made)) << url;
  }

  // A server may send the loader anywhere; only another web address is followed. A file
  // redirect would hand the server the player's files in the body.
  server_.route("/landing", {200, "landed"});
  server_.route("/to-web", {302, "", {{"Location", server_.url("/landing")}}});
  Result<UrlReply> followed = loader_.load(request("/to-web"));
  ASSERT_TRUE(followed) << followed.reason();
  EXPECT_EQ(followed->body, "landed");

  std::string ftp = "ftp://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/";
  for (const std::string& target :
       {std::string("file:///etc/hostname"), ftp, std::string("dict://127.0.0.1/d:x"),
        std::string("gopher://127.0.0.1/"), std::string("smb://127.0.0.1/share")}) {
    server_.route("/away", {301, "moved", {{"Location", target}}});
    Result<UrlReply> reply = loader_.load(request("/away"));
    ASSERT_FALSE(reply) << target << " was followed: " << reply->body;
    // Refused for its scheme, not merely because nothing answered there.
    EXPECT_NE(reply.reason().find("Protocol"), std::string::npos)
        << target << ": " << reply.reason();
  }
}

TEST_F(CurlUrlLoaderTest, APostCarriesItsHeadersAndBinaryBody) {
  server_.route("/upload", {200, "ok"});
  UrlRequest post = request("/upload");
  post.method = "POST";
  post.headers = {{"Content-Type", "multipart/form-data; boundary=xyz"}};
  post.body = std::string("a\0b--xyz\r\n", 10);
  ASSERT_TRUE(loader_.load(post));

  std::vector<LoopbackHttpServer::Request> seen = server_.requests();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].method, "POST");
  EXPECT_EQ(seen[0].header("Content-Type"), "multipart/form-data; boundary=xyz");
  EXPECT_EQ(seen[0].body, post.body);
}

TEST_F(CurlUrlLoaderTest, AsynchronousCallbacksArriveInOrderOnTheMainThreadWhileItRuns) {
  server_.route("/slow", {200, "payload", {}, 0.3});
  std::vector<std::string> events;
  std::thread::id mainThread = std::this_thread::get_id();
  bool offMain = false;
  auto onMain = [&] { offMain |= std::this_thread::get_id() != mainThread; };
  UrlConnectionHandlers handlers;
  handlers.didReceiveResponse = [&](const UrlResponse& response) {
    onMain();
    events.push_back("response " + std::to_string(response.statusCode));
  };
  handlers.didReceiveData = [&](std::string_view data) {
    onMain();
    if (events.back().starts_with("data ")) {
      events.back() += data;
    } else {
      events.push_back("data " + std::string(data));
    }
  };
  handlers.didFinishLoading = [&] {
    onMain();
    events.push_back("finish");
  };
  handlers.didFail = [&](const Error& error) {
    events.push_back("fail " + error.localizedDescription);
  };

  Subscription connection = loader_.start(request("/slow"), handlers);
  // start() returned before the server answered: the loop is free meanwhile.
  EXPECT_TRUE(events.empty());
  ASSERT_TRUE(pumpUntil([&] { return !events.empty() && events.back() == "finish"; }, 20));
  EXPECT_EQ(events, (std::vector<std::string>{"response 200", "data payload", "finish"}));
  EXPECT_FALSE(offMain);
}

TEST_F(CurlUrlLoaderTest, ACancelledConnectionCallsNothingMoreAndAFailedOneSaysWhy) {
  server_.route("/hang", {.hang = true});
  server_.route("/answer", {500, "broken"});
  int calls = 0;
  UrlConnectionHandlers counting;
  counting.didReceiveResponse = [&](const UrlResponse&) { ++calls; };
  counting.didFail = [&](const Error&) { ++calls; };
  counting.didFinishLoading = [&] { ++calls; };
  {
    Subscription cancelled = loader_.start(request("/hang"), counting);
    ASSERT_TRUE(pumpUntil([&] { return server_.requestCount("/hang") == 1; }, 20));
  }
  // The response of the other load is the proof that the loop ran on meanwhile.
  long status = 0;
  bool failed = false;
  UrlConnectionHandlers answered;
  answered.didReceiveResponse = [&](const UrlResponse& response) { status = response.statusCode; };
  Subscription other = loader_.start(request("/answer"), answered);
  ASSERT_TRUE(pumpUntil([&] { return status != 0; }, 20));
  EXPECT_EQ(status, 500);
  EXPECT_EQ(calls, 0);

  UrlConnectionHandlers failing;
  std::string reason;
  failing.didFail = [&](const Error& error) {
    failed = true;
    reason = error.localizedDescription;
  };
  UrlRequest refused;
  refused.url = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::closedPort()) + "/x";
  Subscription dead = loader_.start(refused, failing);
  ASSERT_TRUE(pumpUntil([&] { return failed; }, 20));
  EXPECT_NE(reason.find("/x"), std::string::npos);
}

TEST_F(CurlUrlLoaderTest, UnfinishedLoadsEndWithNoHandlerCalledAndNoThreadLeft) {
  server_.route("/hang", {.hang = true});
  std::multiset<std::string> threadsBefore = threadNames();
  auto loader = std::make_unique<CurlUrlLoader>(runLoop_);
  int calls = 0;
  // What a load's handlers hold: released as soon as the load is over for its owner.
  auto started = [&](std::weak_ptr<int>& held) {
    auto token = std::make_shared<int>(0);
    held = token;
    UrlConnectionHandlers handlers;
    handlers.didReceiveResponse = [&calls, token](const UrlResponse&) { ++calls; };
    handlers.didFinishLoading = [&calls, token] { ++calls; };
    handlers.didFail = [&calls, token](const Error&) { ++calls; };
    return loader->start(request("/hang"), std::move(handlers));
  };
  std::weak_ptr<int> cancelled;
  std::weak_ptr<int> pending;
  Subscription dropped = started(cancelled);
  Subscription waiting = started(pending);
  ASSERT_TRUE(pumpUntil([&] { return server_.requestCount("/hang") == 2; }, 20));
  // Loads run on the main loop, not on threads of their own.
  EXPECT_EQ(threadsLeftOver(threadsBefore, threadNames()), std::vector<std::string>{});

  dropped.cancel();
  EXPECT_TRUE(cancelled.expired());
  EXPECT_FALSE(pending.expired());
  loader.reset();
  EXPECT_TRUE(pending.expired());
  waiting.cancel();

  // Whatever was handed back finds nobody to tell; a load on another loader is the proof
  // that the loop ran on meanwhile.
  server_.route("/answer", {200, "ok"});
  bool finished = false;
  UrlConnectionHandlers answered;
  answered.didFinishLoading = [&] { finished = true; };
  Subscription other = loader_.start(request("/answer"), answered);
  ASSERT_TRUE(pumpUntil([&] { return finished; }, 20));
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(threadsLeftOver(threadsBefore, threadNames()), std::vector<std::string>{});
}

TEST_F(CurlUrlLoaderTest, PooledHandlesKeepSendingEveryCookieOverManyLoadsAtOnceAndInTurn) {
  // More loads at once than the pool keeps idle, then in turn on the reused handles: each
  // one's cookie reaches every later load.
  constexpr int kAtOnce = 6;
  constexpr int kInTurn = 12;
  for (int i = 0; i < kAtOnce + kInTurn; ++i) {
    std::string name = "c" + std::to_string(i);
    server_.route("/set/" + name,
                  {200, "", {{"Set-Cookie", name + "=v" + std::to_string(i) + "; Path=/"}}});
  }
  server_.route("/check", {200, "ok"});

  int finished = 0;
  std::vector<Subscription> loads;
  for (int i = 0; i < kAtOnce; ++i) {
    UrlConnectionHandlers handlers;
    handlers.didFinishLoading = [&finished] { ++finished; };
    handlers.didFail = [&finished](const Error&) { finished += 1000; };
    loads.push_back(loader_.start(request("/set/c" + std::to_string(i)), std::move(handlers)));
  }
  ASSERT_TRUE(pumpUntil([&] { return finished >= kAtOnce; }, 30));
  ASSERT_EQ(finished, kAtOnce);
  for (int i = kAtOnce; i < kAtOnce + kInTurn; ++i) {
    ASSERT_TRUE(loader_.load(request("/set/c" + std::to_string(i))));
    ASSERT_TRUE(loader_.load(request("/check")));
    std::string sent = "; " + server_.requests().back().header("Cookie") + ";";
    for (int j = 0; j <= i; ++j) {
      std::string pair = "; c" + std::to_string(j) + "=v" + std::to_string(j) + ";";
      EXPECT_NE(sent.find(pair), std::string::npos) << pair << " missing from " << sent;
    }
  }
  EXPECT_EQ(loader_.cookieStorage().allCookies().size(),
            static_cast<std::size_t>(kAtOnce + kInTurn));
}

TEST_F(CurlUrlLoaderTest, CookiesAreSharedByEveryLoadAndClearedByHost) {
  server_.route("/login", {200, "", {{"Set-Cookie", "session=abc; Path=/"}}});
  server_.route("/me", {200, "you"});
  ASSERT_TRUE(loader_.load(request("/login")));
  ASSERT_TRUE(loader_.load(request("/me")));
  EXPECT_EQ(server_.requests().back().header("Cookie"), "session=abc");

  CookieStorage& cookies = loader_.cookieStorage();
  cookies.setCookie({"other", "1", "example.org", "/", false, std::nullopt});
  std::vector<Cookie> all = cookies.allCookies();
  ASSERT_EQ(all.size(), 2u);

  cookies.deleteCookiesForHost("127.0.0.1");
  all = cookies.allCookies();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].name, "other");
  EXPECT_EQ(all[0].domain, "example.org");
  ASSERT_TRUE(loader_.load(request("/me")));
  EXPECT_EQ(server_.requests().back().header("Cookie"), "");
}

TEST(CookieDomain, MatchesTheHostAndItsParentsOnly) {
  EXPECT_TRUE(cookieDomainMatches("facebook.com", "facebook.com"));
  EXPECT_TRUE(cookieDomainMatches(".facebook.com", "m.facebook.com"));
  EXPECT_TRUE(cookieDomainMatches("Facebook.COM", "www.facebook.com"));
  EXPECT_FALSE(cookieDomainMatches("facebook.com", "notfacebook.com"));
  EXPECT_FALSE(cookieDomainMatches("m.facebook.com", "facebook.com"));
  EXPECT_FALSE(cookieDomainMatches("", "facebook.com"));
}

}  // namespace
}  // namespace tumbla
