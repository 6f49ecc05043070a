#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/QueryParams.h"
#include "bridge/URLDispatcher.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

Url url(const char* text) {
  return *Url::parse(text);
}

// Records every call; with `complete` it also has every optional operation.
class RecordingDelegate : public URLDispatcherDelegate {
 public:
  explicit RecordingDelegate(bool complete) : complete_(complete) {}

  void openExternalURL(const Url& u) override { calls.push_back("open " + u.absoluteString()); }
  void updateSettings(const QueryParameters& p) override {
    calls.push_back("settings");
    settings = p;
  }
  void executeJavaScript(const std::string& s) override { calls.push_back("script " + s); }
  bool respondsTo(Optional) const override { return complete_; }
  void updateUndo(std::uint32_t n) override { calls.push_back("undo " + std::to_string(n)); }
  void exitFullScreen() override { calls.push_back("exitFullScreen"); }
  void quit() override { calls.push_back("quit"); }
  void enableGameCenter(bool on) override { calls.push_back("gc " + std::to_string(on)); }
  void showGlobalScores(const std::optional<std::string>& d) override {
    calls.push_back("scores " + d.value_or("<none>"));
  }
  void submitScore(std::int32_t s, std::int32_t l, const std::optional<std::string>& d) override {
    calls.push_back("submit " + std::to_string(s) + " " + std::to_string(l) + " " +
                    d.value_or("<none>"));
  }

  std::vector<std::string> calls;
  QueryParameters settings;

 private:
  bool complete_;
};

class DispatcherTest : public ::testing::Test {
 protected:
  void SetUp() override { platform = &SimPlatform::install(); }
  void TearDown() override { ApplicationContext::uninstall(); }

  std::vector<std::string> dispatch(bool complete, const char* text, bool expectHandled = true) {
    RecordingDelegate delegate(complete);
    URLDispatcher dispatcher;
    dispatcher.setDelegate(&delegate);
    EXPECT_EQ(dispatcher.dispatchURL(url(text)), expectHandled) << text;
    return delegate.calls;
  }

  SimPlatform* platform = nullptr;
};

using Calls = std::vector<std::string>;

TEST_F(DispatcherTest, UrlWithoutHostLoadsAndCallsNothing) {
  EXPECT_EQ(dispatch(true, "file:///game/index.html", false), Calls{});
}

TEST_F(DispatcherTest, OutsideLinksAreOpenedOutsideAskingForExitFullScreenFirst) {
  EXPECT_EQ(dispatch(true, "http://example.com/a"),
            (Calls{"exitFullScreen", "open http://example.com/a"}));
  EXPECT_EQ(dispatch(false, "http://example.com/a"), (Calls{"open http://example.com/a"}));
  // Over a scheme of the page's own the host arrives as written and compares exactly, so
  // this is a link, not a command.
  EXPECT_EQ(dispatch(false, "tumbla://Audio.prismora/playSound?name=a"),
            (Calls{"open tumbla://Audio.prismora/playSound?name=a"}));
  EXPECT_EQ(dispatch(false, "tumbla://gamecenter.prismora/disable"),
            (Calls{"open tumbla://gamecenter.prismora/disable"}));
}

TEST_F(DispatcherTest, OverSchemesWhoseHostTheEngineLowersCommandHostsIgnoreCase) {
  UserDefaults& defaults = platform->userDefaults();
  for (const char* command :
       {"http://gamecenter.prismora/disable", "HTTPS://GAMECENTER.PRISMORA/disable",
        "ws://GameCenter.Prismora/disable", "ftp://gamecenter.prismora/disable"}) {
    defaults.setBool("gameCenter", true);
    EXPECT_EQ(dispatch(false, command), Calls{}) << command;
    EXPECT_FALSE(defaults.boolForKey("gameCenter")) << command;
  }
  EXPECT_EQ(dispatch(true, "http://irate.prismora/x"), Calls{});
  EXPECT_EQ(dispatch(true, "https://iversion.prismora/x"), Calls{});
  EXPECT_EQ(dispatch(true, "https://inotify.prismora/x"), Calls{});
  EXPECT_EQ(dispatch(false, "http://SETTINGS.prismora/update"), Calls{"settings"});
  // ASCII case only, whatever the process locale: a Turkish one has no capital "I" for "i".
  EXPECT_EQ(dispatch(true, "http://IRATE.PRISMORA/x"), Calls{});
  EXPECT_EQ(dispatch(false, "http://\xC4\xB0rate.prismora/x"),
            Calls{"open http://\xC4\xB0rate.prismora/x"});
  EXPECT_EQ(dispatch(false, "http://settings.prismora.example/update"),
            Calls{"open http://settings.prismora.example/update"});
}

TEST_F(DispatcherTest, AnySchemeReachesTheCommandAndUnknownPathsAreSwallowed) {
  EXPECT_EQ(dispatch(true, "tumbla://settings.prismora/update?theme=2"), Calls{"settings"});
  EXPECT_EQ(dispatch(true, "ftp://settings.prismora/update"), Calls{"settings"});
  // Only the one settings path stores settings.
  for (const char* other : {"x://settings.prismora/", "x://settings.prismora/Update?theme=2",
                            "x://settings.prismora/update/more", "x://settings.prismora/reset"}) {
    EXPECT_EQ(dispatch(true, other), Calls{}) << other;
  }
  EXPECT_EQ(dispatch(true, "http://app.prismora/restart"), Calls{});
  EXPECT_EQ(dispatch(true, "http://app.prismora/Quit"), Calls{});
  EXPECT_EQ(dispatch(true, "http://audio.prismora/playSound?name=pop"), Calls{});
}

TEST_F(DispatcherTest, GameCommandsAskBeforeOptionalOperations) {
  EXPECT_EQ(dispatch(true, "x://gameCenter.prismora/submit?score=12abc&level=7&difficulty=hard"),
            Calls{"submit 12 7 hard"});
  EXPECT_EQ(dispatch(true, "x://gameCenter.prismora/submit"), Calls{"submit 0 0 <none>"});
  EXPECT_EQ(dispatch(true, "x://gameCenter.prismora/scores?difficulty=easy"), Calls{"scores easy"});
  EXPECT_EQ(dispatch(true, "x://undo.prismora/enable?remaining=3"), Calls{"undo 3"});
  EXPECT_EQ(dispatch(true, "x://undo.prismora/enable?remaining=-1"), Calls{"undo 4294967295"});
  EXPECT_EQ(dispatch(true, "x://undo.prismora/disable"), Calls{"undo 0"});
  EXPECT_EQ(dispatch(true, "x://app.prismora/quit"), Calls{"quit"});
  for (const char* command :
       {"x://gameCenter.prismora/submit?score=1", "x://gameCenter.prismora/scores",
        "x://undo.prismora/enable?remaining=3", "x://app.prismora/quit"}) {
    EXPECT_EQ(dispatch(false, command), Calls{}) << command;
  }
}

TEST_F(DispatcherTest, GameCenterSwitchesWriteOnlyTheirOwnKey) {
  UserDefaults& defaults = platform->userDefaults();
  defaults.setBool("gameCenter", true);
  EXPECT_EQ(dispatch(true, "x://gameCenter.prismora/enable"), Calls{"gc 0"});
  EXPECT_TRUE(defaults.boolForKey("gameCenterPrompted"));
  EXPECT_TRUE(defaults.boolForKey("gameCenter"));

  defaults.setBool("gameCenterPrompted", false);
  dispatch(false, "x://gameCenter.prismora/disable");
  EXPECT_FALSE(defaults.boolForKey("gameCenter"));
  EXPECT_FALSE(defaults.boolForKey("gameCenterPrompted"));
}

TEST_F(DispatcherTest, SettingsReceiveEveryDecodedParameter) {
  RecordingDelegate delegate(false);
  URLDispatcher dispatcher;
  dispatcher.setDelegate(&delegate);
  dispatcher.dispatchURL(url("x://settings.prismora/update?theme=2&soundEnabled=0&n=a%20b"));
  EXPECT_EQ(delegate.settings,
            (QueryParameters{{"theme", "2"}, {"soundEnabled", "0"}, {"n", "a b"}}));
}

TEST(QueryParams, DecodesAfterSplitting) {
  struct Case {
    const char* url;
    QueryParameters expected;
  };
  const Case cases[] = {
      {"x://h/p", {}},
      {"x://h/p?", {}},
      {"x://h/p?a=1&a=2", {{"a", "2"}}},
      {"x://h/p?name=big%20bang", {{"name", "big bang"}}},
      {"x://h/p?name=big+bang", {{"name", "big+bang"}}},
      {"x://h/p?k%3D1=v%26w", {{"k=1", "v&w"}}},
      {"x://h/p?k=a=b", {{"k", "a"}}},
      {"x://h/p?k=", {{"k", ""}}},
      // A bare name is its key with an empty value, wherever it stands.
      {"x://h/p?flag&k=v", {{"flag", ""}, {"k", "v"}}},
      {"x://h/p?k=v&flag", {{"flag", ""}, {"k", "v"}}},
      {"x://h/p?fl%20ag", {{"fl ag", ""}}},
      {"x://h/p?k=v&k", {{"k", ""}}},
      // Empty pieces and pieces that can't be decoded are skipped; the rest still counts.
      {"x://h/p?&&k=v&", {{"k", "v"}}},
      {"x://h/p?bad=%zz&k=v&&", {{"k", "v"}}},
      {"x://h/p?%zz&k=v", {{"k", "v"}}},
      {"x://h/p?k=%FF&j=%C3%A9", {{"j", "\xC3\xA9"}}},
  };
  for (const Case& c : cases) EXPECT_EQ(queryParams(url(c.url)), c.expected) << c.url;
}

TEST(QueryParams, IntegerParametersReadTheLeadingNumber) {
  QueryParameters p{{"a", " 42x"}, {"b", "-7"}, {"c", "x1"}, {"d", "99999999999"}};
  EXPECT_EQ(integerParameter(p, "a"), 42);
  EXPECT_EQ(integerParameter(p, "b"), -7);
  EXPECT_EQ(integerParameter(p, "c"), 0);
  EXPECT_EQ(integerParameter(p, "d"), 2147483647);
  EXPECT_EQ(integerParameter(p, "missing"), 0);
}

}  // namespace
}  // namespace tumbla
