#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/GtkAppWindow.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/WebKitView.h"

namespace tumbla {
namespace {

// The script's answer, or nothing when it failed.
std::optional<std::string> answer(const Result<std::string>& result) {
  if (!result) return std::nullopt;
  return *result;
}

using testing::CapturedLog;
using testing::pumpUntil;
using testing::TemporaryDirectory;

// Lets the page's own files and host-less addresses load and refuses everything else, recording
// what it was asked and whether anything else of the host was running at the time.
class RecordingDelegate : public WebViewDelegate {
 public:
  struct Load {
    std::string url;
    NavigationType type;
    bool duringOtherOperation;
  };

  bool shouldStartLoad(WebView&, const Url& url, NavigationType type) override {
    ++nesting;
    maxNesting = std::max(maxNesting, nesting);
    loads.push_back({url.absoluteString(), type, hostBusy});
    if (onLoad) onLoad(url);
    --nesting;
    return url.scheme() == "file" || url.scheme() == "about" || url.scheme() == "data";
  }
  void didFinishLoad(WebView&) override { ++finishedLoads; }
  void didFailLoad(WebView&, const Error& error) override { failures.push_back(error); }
  // As the host does, though at once: brings the page back.
  void webProcessDidEnd(WebView& view) override {
    ++endedProcesses;
    view.reload();
  }

  std::vector<std::string> urlsWithScheme(const std::string& scheme) const {
    std::vector<std::string> urls;
    for (const Load& load : loads) {
      if (load.url.rfind(scheme + ":", 0) == 0) urls.push_back(load.url);
    }
    return urls;
  }

  std::vector<Load> loads;
  std::function<void(const Url&)> onLoad;
  bool hostBusy = false;
  int nesting = 0;
  int maxNesting = 0;
  int finishedLoads = 0;
  int endedProcesses = 0;
  std::vector<Error> failures;
};

constexpr char kPage[] = R"(<!doctype html>
<html><head><title>game</title></head><body>
<a id="outside" href="https://example.invalid/blank" target="_blank">outside</a>
<script>
function frameLoad(url) {
  var frame = document.createElement('iframe');
  frame.style.display = 'none';
  frame.src = url;
  document.body.appendChild(frame);
  return frame;
}
function sendCommands(count) {
  for (var i = 0; i < count; i++) {
    var frame = frameLoad('tumbla://audio.prismora/playSound?n=' + i);
    frame.parentNode.removeChild(frame);
  }
}
</script></body></html>)";

class WebKitViewTest : public ::testing::Test {
 protected:
  void SetUp() override { open(5.0); }

  void open(double scriptTimeoutSeconds) {
    view_.reset();
    delegate_ = RecordingDelegate();
    window_ = std::make_shared<GtkAppWindow>(dispatcher_, Rect{0, 0, 480, 320});
    view_ = std::make_shared<WebKitView>(dispatcher_, Rect{}, scriptTimeoutSeconds);
    window_->setRootView(view_);
    window_->makeKeyAndVisible();
    view_->setDelegate(&delegate_);
    page_ = directory_.write("index.html", kPage);
    view_->loadURL(Url::fileURLWithPath(page_.string()));
    ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads == 1; }, 20));
    delegate_.loads.clear();
  }

  std::optional<std::string> evaluateWhileBusy(std::string_view script) {
    delegate_.hostBusy = true;
    std::optional<std::string> result = answer(view_->evaluateScript(script));
    delegate_.hostBusy = false;
    return result;
  }

  HostDispatcher dispatcher_;
  TemporaryDirectory directory_;
  std::filesystem::path page_;
  RecordingDelegate delegate_;
  std::shared_ptr<GtkAppWindow> window_;
  std::shared_ptr<WebKitView> view_;
};

TEST_F(WebKitViewTest, EvaluationAnswersTheResultAsText) {
  EXPECT_EQ(answer(view_->evaluateScript("document.title")), "game");
  EXPECT_EQ(answer(view_->evaluateScript("6 * 7")), "42");
  EXPECT_EQ(answer(view_->evaluateScript("1.5")), "1.5");
  EXPECT_EQ(answer(view_->evaluateScript("1 < 2")), "true");
  EXPECT_EQ(answer(view_->evaluateScript("undefined")), "");
  EXPECT_EQ(answer(view_->evaluateScript("null")), "");
  EXPECT_EQ(answer(view_->evaluateScript("var saved = 'x'")), "");
  EXPECT_EQ(answer(view_->evaluateScript("'\\u00e9t\\u00e9 \"quoted\"'")),
            "\xc3\xa9t\xc3\xa9 \"quoted\"");
}

TEST_F(WebKitViewTest, EvaluationAnswersNothingWhenTheScriptThrows) {
  EXPECT_EQ(answer(view_->evaluateScript("throw new Error('no')")), std::nullopt);
  EXPECT_EQ(answer(view_->evaluateScript("Tumbla.init()")), std::nullopt);
  EXPECT_EQ(answer(view_->evaluateScript("this is not javascript")), std::nullopt);
  EXPECT_EQ(answer(view_->evaluateScript("'still working'")), "still working");
}

TEST_F(WebKitViewTest, AFailedScriptSaysWhatWasThrownAndWhere) {
  ASSERT_TRUE(
      view_->evaluateScript("function failing() {\n  throw new TypeError('bad board');\n}"));
  Result<std::string> thrown = view_->evaluateScript("failing()");
  ASSERT_FALSE(thrown);
  EXPECT_NE(thrown.reason().find("TypeError: bad board"), std::string::npos) << thrown.reason();
  // Where: the page's address, line 2.
  EXPECT_NE(thrown.reason().find(":2:"), std::string::npos) << thrown.reason();

  Result<std::string> missing = view_->evaluateScript("Tumbla.init()");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.reason().find("Tumbla"), std::string::npos) << missing.reason();
}

TEST_F(WebKitViewTest, AScriptThatNeverAnswersTimesOutAndThePageIsReloaded) {
  open(1.0);
  CapturedLog log;
  auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(answer(view_->evaluateScript("while (true) {}")), std::nullopt);
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_GE(waited, 0.9);
  EXPECT_LT(waited, 4.0);
  ASSERT_GE(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("did not answer"), std::string::npos);

  // The page comes back in a fresh web process and answers again.
  ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads == 2; }, 20));
  EXPECT_EQ(answer(view_->evaluateScript("document.title")), "game");
  EXPECT_EQ(answer(view_->evaluateScript("2 + 2")), "4");
}

TEST_F(WebKitViewTest, StartUpGetsALongerLimitThanLaterCalls) {
  open(0.5);
  auto started = std::chrono::steady_clock::now();
  Result<std::string> slow = view_->evaluateScript(
      "var until = Date.now() + 1200; while (Date.now() < until) {} 'started'",
      ScriptKind::StartUp);
  EXPECT_TRUE(slow) << (slow ? "" : slow.reason());
  EXPECT_GE(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.1);
  EXPECT_FALSE(
      view_->evaluateScript("var until = Date.now() + 1200; while (Date.now() < until) {}"));
}

TEST_F(WebKitViewTest, AScriptThatTimesOutBeforeTheFirstLoadStillLeavesThePageLoaded) {
  view_.reset();
  delegate_ = RecordingDelegate();
  view_ = std::make_shared<WebKitView>(dispatcher_, Rect{}, 0.001);
  window_->setRootView(view_);
  view_->setDelegate(&delegate_);
  view_->loadURL(Url::fileURLWithPath(page_.string()));
  // The engine can't answer this soon: its web process is ended mid-load.
  EXPECT_FALSE(view_->evaluateScript("1"));
  ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads >= 1; }, 30));
}

TEST_F(WebKitViewTest, APageThatHangsHasItsProcessEndedAndAnswersAgainOnceReloaded) {
  open(0.3);
  for (int hang = 1; hang <= 2; ++hang) {
    ASSERT_FALSE(view_->evaluateScript("while (true) {}"));
    ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads == hang + 1; }, 30)) << hang;
    EXPECT_EQ(delegate_.endedProcesses, hang);
    Result<std::string> answer = view_->evaluateScript("6 * 7");
    ASSERT_TRUE(answer) << answer.reason();
    EXPECT_EQ(*answer, "42");
  }
}

TEST_F(WebKitViewTest, TheDelegateSeesEveryKindOfLoadAndRefusedOnesNeverHappen) {
  // The page schedules a `location` change for later, so each load is awaited before the
  // next starts to keep their order known.
  std::size_t expected = 0;
  for (const char* script : {"location.href = 'tumbla://audio.prismora/playSound?name=pop'",
                             "frameLoad('http://settings.prismora/update?theme=2')",
                             "document.getElementById('outside').click()",
                             "window.open('https://example.invalid/popup')"}) {
    answer(view_->evaluateScript(script));
    ++expected;
    ASSERT_TRUE(pumpUntil([&] { return delegate_.loads.size() >= expected; }, 10)) << script;
  }
  // Anything late or doubled would show up here.
  pumpUntil([] { return false; }, 0.5);

  ASSERT_EQ(delegate_.loads.size(), 4u);
  EXPECT_EQ(delegate_.loads[0].url, "tumbla://audio.prismora/playSound?name=pop");
  EXPECT_EQ(delegate_.loads[1].url, "http://settings.prismora/update?theme=2");
  EXPECT_EQ(delegate_.loads[2].url, "https://example.invalid/blank");
  EXPECT_EQ(delegate_.loads[2].type, NavigationType::LinkClicked);
  EXPECT_EQ(delegate_.loads[3].url, "https://example.invalid/popup");

  // The page is still the game; no load started or failed.
  EXPECT_EQ(answer(view_->evaluateScript("document.title")), "game");
  EXPECT_EQ(delegate_.finishedLoads, 1);
  EXPECT_TRUE(delegate_.failures.empty());
  EXPECT_EQ(
      answer(view_->evaluateScript("document.querySelector('iframe').contentDocument === null ||"
                                   " document.querySelector('iframe').contentDocument.URL")),
      "about:blank");
}

TEST_F(WebKitViewTest, AllowedLoadsGoAhead) {
  directory_.write("other.html", "<title>other</title>");
  directory_.write("frame.html", "<title>frame</title>");
  answer(view_->evaluateScript("frameLoad('frame.html').id = 'allowed'"));
  ASSERT_TRUE(pumpUntil(
      [&] {
        return answer(view_->evaluateScript(
                   "document.getElementById('allowed').contentDocument.title")) == "frame";
      },
      10));
  answer(view_->evaluateScript("location.href = 'other.html'"));
  ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads == 2; }, 10));
  EXPECT_EQ(answer(view_->evaluateScript("document.title")), "other");
  EXPECT_EQ(delegate_.urlsWithScheme("file").size(), 2u);
}

TEST_F(WebKitViewTest, ANewWindowTheDelegateLetsThroughNeverReplacesThePage) {
  directory_.write("frame.html", "<title>frame</title>");
  CapturedLog log;
  for (const char* script :
       {"window.open('about:blank')", "window.open('data:text/html,<title>data</title>')",
        "window.open('frame.html')", "window.open('frame.html', '_self')"}) {
    std::size_t before = delegate_.loads.size();
    answer(view_->evaluateScript(script));
    ASSERT_TRUE(pumpUntil([&] { return delegate_.loads.size() > before; }, 10)) << script;
  }
  pumpUntil([] { return false; }, 0.5);
  // Each put to the delegate once; the three new windows refused, each with one line.
  EXPECT_EQ(delegate_.loads.size(), 4u);
  EXPECT_EQ(log.lines().size(), 3u);
  for (const std::string& line : log.lines()) {
    EXPECT_NE(line.find("refused to open"), std::string::npos) << line;
  }
  // `_self` is no new window: the page may go there as it may with `location`.
  ASSERT_TRUE(pumpUntil([&] { return delegate_.finishedLoads == 2; }, 10));
  EXPECT_EQ(answer(view_->evaluateScript("document.title")), "frame");
}

TEST_F(WebKitViewTest, AFailedLoadReachesTheDelegateInsteadOfAFinishedOne) {
  view_->loadURL(Url::fileURLWithPath((directory_.path() / "missing.html").string()));
  ASSERT_TRUE(pumpUntil([&] { return !delegate_.failures.empty(); }, 10));
  pumpUntil([] { return false; }, 0.3);
  EXPECT_EQ(delegate_.finishedLoads, 1);
  EXPECT_FALSE(delegate_.failures[0].domain.empty());
}

TEST_F(WebKitViewTest, ALoadRequestedDuringAnEvaluationIsPutToTheDelegateAfterIt) {
  std::optional<std::string> result = evaluateWhileBusy(
      "frameLoad('tumbla://a.prismora/1'); frameLoad('tumbla://a.prismora/2');"
      "location.href = 'tumbla://a.prismora/3'; 'sent'");
  EXPECT_EQ(result, "sent");
  ASSERT_TRUE(pumpUntil([&] { return delegate_.loads.size() == 3; }, 10));
  EXPECT_EQ(delegate_.urlsWithScheme("tumbla"),
            (std::vector<std::string>{"tumbla://a.prismora/1", "tumbla://a.prismora/2",
                                      "tumbla://a.prismora/3"}));
  for (const auto& load : delegate_.loads) EXPECT_FALSE(load.duringOtherOperation) << load.url;
}

TEST_F(WebKitViewTest, CommandsSentWhileACommandIsHandledWaitForIt) {
  // A handler that answers the page by script, during which the page sends more commands.
  delegate_.onLoad = [&](const Url& url) {
    if (url.path() == "/first")
      answer(view_->evaluateScript("frameLoad('tumbla://a.prismora/second')"));
    if (url.path() == "/second")
      answer(view_->evaluateScript("frameLoad('tumbla://a.prismora/third')"));
  };
  answer(view_->evaluateScript("frameLoad('tumbla://a.prismora/first')"));
  ASSERT_TRUE(pumpUntil([&] { return delegate_.loads.size() == 3; }, 10));
  EXPECT_EQ(delegate_.urlsWithScheme("tumbla"),
            (std::vector<std::string>{"tumbla://a.prismora/first", "tumbla://a.prismora/second",
                                      "tumbla://a.prismora/third"}));
  EXPECT_EQ(delegate_.maxNesting, 1);
}

TEST_F(WebKitViewTest, TwoThousandCommandsInATightLoopAllArriveInOrder) {
  constexpr int kCommands = 2000;
  answer(view_->evaluateScript("sendCommands(" + std::to_string(kCommands) + ")"));
  ASSERT_TRUE(pumpUntil([&] { return delegate_.loads.size() >= kCommands; }, 60))
      << delegate_.loads.size() << " arrived";
  pumpUntil([] { return false; }, 0.3);
  std::vector<std::string> urls = delegate_.urlsWithScheme("tumbla");
  ASSERT_EQ(urls.size(), static_cast<std::size_t>(kCommands));
  for (int i = 0; i < kCommands; ++i) {
    ASSERT_EQ(urls[i], "tumbla://audio.prismora/playSound?n=" + std::to_string(i));
  }
}

}  // namespace
}  // namespace tumbla
