#include <gtest/gtest.h>

#include <cmath>

#include "host/BridgeTrace.h"
#include "host/CounterFile.h"
#include "platform/Log.h"
#include "unit/host/HostFixture.h"
#include "value/Utf8.h"

namespace tumbla::testing {
namespace {

using Scripts = std::vector<std::string>;

const Scripts kDefaultSettingsPushes = {"Tumbla.setPauseCorner(1)", "Tumbla.setSoundEnabled(1)",
                                        "Tumbla.setMusicEnabled(1)", "Tumbla.setTheme(0)",
                                        "Tumbla.setShakeToUndo(1)"};

Scripts concat(Scripts head, const Scripts& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

class PageHostTest : public HostFixture {};

TEST_F(PageHostTest, FreshStartInitsTheGameThenPushesSettings) {
  launchAndLoad();
  EXPECT_EQ(scripts(),
            concat({"Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()"}, kDefaultSettingsPushes));
  EXPECT_TRUE(controller().webViewLoaded());
}

TEST_F(PageHostTest, SavedGameIsHandedBackAsItStands) {
  writeDocument("gamestate.json", R"({"board":[1,2],"note":"it's"})");
  launchAndLoad();
  ASSERT_GE(scripts().size(), 2u);
  EXPECT_EQ(scripts()[1], R"(Tumbla.initWithGameState({"board":[1,2],"note":"it's"}))");
}

TEST_F(PageHostTest, SavedGameThatIsNotUtf8IsKeptAsideAndTheGameStartsAfresh) {
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  writeDocument("gamestate.json", "{\"name\":\"\xFF\xFE\"}");
  launchAndLoad();
  setLogSink(previous);

  EXPECT_EQ(scripts()[1], "Tumbla.init()");
  EXPECT_FALSE(platform->storage().fileExists(documentPath("gamestate.json")));
  EXPECT_EQ(documentsStartingWith("gamestate.json.invalid-utf8-"),
            std::vector<std::string>{"{\"name\":\"\xFF\xFE\"}"});
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("not UTF-8"), std::string::npos);
}

TEST_F(PageHostTest, SavedGameThatThePageRejectsIsKeptAsideAndTheGameStartsAfresh) {
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  const std::string truncated = R"({"board":[1,2)";
  writeDocument("gamestate.json", truncated);
  launch();
  webView().setAnswer("Tumbla.initWithGameState(" + truncated + ")", std::nullopt);
  webView().finishLoad();
  setLogSink(previous);

  ASSERT_GE(scripts().size(), 3u);
  EXPECT_EQ(scripts()[1], "Tumbla.initWithGameState(" + truncated + ")");
  EXPECT_EQ(scripts()[2], "Tumbla.init()");
  EXPECT_EQ(scripts().size(), 3 + kDefaultSettingsPushes.size());
  ASSERT_EQ(logged.size(), 1u);
  EXPECT_NE(logged[0].find("could not start from the saved game"), std::string::npos);
  EXPECT_FALSE(platform->storage().fileExists(documentPath("gamestate.json")));
  EXPECT_EQ(documentsStartingWith("gamestate.json.rejected-"), std::vector<std::string>{truncated});

  // The fresh game's first save is an ordinary save; the rejected one stays aside.
  webView().setAnswer("Tumbla.saveGameState()", R"({"board":[]})");
  platform->application().send(LifecycleEvent::WillTerminate);
  EXPECT_EQ(readDocument("gamestate.json"), R"({"board":[]})");
}

TEST_F(PageHostTest, ASavedGameStaysWhereItIsWhenThePageCannotStartAtAll) {
  const std::string state = R"({"board":[5]})";
  writeDocument("gamestate.json", state);
  launch();
  // A page that hangs or throws in every start: the save had nothing to do with it.
  webView().setAnswer("Tumbla.initWithGameState(" + state + ")", std::nullopt);
  webView().setAnswer("Tumbla.init()", std::nullopt);
  webView().finishLoad();
  EXPECT_EQ(readDocument("gamestate.json"), state);
  EXPECT_TRUE(documentsStartingWith("gamestate.json.rejected-").empty());
}

TEST_F(PageHostTest, ScriptsAfterTheViewIsUnloadedGoNowhere) {
  launchAndLoad();
  webView().clearScripts();
  controller().viewDidUnload();
  controller().executeJavaScript("late()");
  controller().saveGameState();
  controller().loadSettings();
  EXPECT_TRUE(controller().pendingScripts().empty());
  EXPECT_EQ(scripts(), Scripts{});
}

TEST_F(PageHostTest, ScriptsBeforeLoadWaitForTheGameAndRunBeforeTheSettings) {
  launch();
  controller().executeJavaScript("first()");
  controller().executeJavaScript("second()");
  EXPECT_EQ(scripts(), Scripts{});
  webView().finishLoad();
  EXPECT_EQ(scripts(),
            concat({"Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()", "first()", "second()"},
                   kDefaultSettingsPushes));

  webView().clearScripts();
  controller().executeJavaScript("third()");
  EXPECT_EQ(scripts(), Scripts{"third()"});
  EXPECT_EQ(controller().pendingScripts(), (Scripts{"first()", "second()"}));
}

TEST_F(PageHostTest, EveryFinishedLoadRunsTheWholeStartAgain) {
  launch();
  controller().executeJavaScript("queued()");
  webView().finishLoad();
  // A crashed page is reloaded after a pause, and its start runs again whole.
  webView().endWebProcess();
  platform->runLoop().advance(0.9);
  EXPECT_EQ(webView().reloadCount(), 0);
  platform->runLoop().advance(0.2);
  EXPECT_EQ(webView().reloadCount(), 1);
  webView().clearScripts();
  webView().finishLoad();
  EXPECT_EQ(scripts(), concat({"Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()", "queued()"},
                              kDefaultSettingsPushes));
}

TEST_F(PageHostTest, LoadsTheBundlePageForTheDevice) {
  launch();
  ASSERT_EQ(webView().loadedURLs().size(), 1u);
  EXPECT_TRUE(webView().loadedURLs()[0].path().ends_with("/index.html"));

  install();
  platform->application().setDeviceFacts({UserInterfaceIdiom::Pad, "iPad2,1", "5.0"});
  launch();
  ASSERT_EQ(webView().loadedURLs().size(), 1u);
  EXPECT_TRUE(webView().loadedURLs()[0].path().ends_with("/index~ipad.html"));
}

TEST_F(PageHostTest, OnlyThePageItselfLoadsInTheWebView) {
  launch();
  Url page = webView().loadedURLs()[0];
  EXPECT_TRUE(webView().navigate(page));
  EXPECT_FALSE(webView().navigate(*Url::parse("tumbla://audio.prismora/playSound?name=pop")));
  EXPECT_FALSE(
      webView().navigate(*Url::parse("http://example.com/help"), NavigationType::LinkClicked));
  ASSERT_EQ(platform->application().openedURLs().size(), 1u);
  EXPECT_EQ(platform->application().openedURLs()[0].absoluteString(), "http://example.com/help");
}

TEST_F(PageHostTest, OnlyHttpLinksLeaveAndWithoutARealGestureOneASecond) {
  launchAndLoad();
  std::vector<std::string> logged;
  LogSink previous = setLogSink([&](std::string_view line) { logged.emplace_back(line); });
  auto open = [&](const std::string& url) {
    EXPECT_FALSE(webView().navigate(*Url::parse(url), NavigationType::LinkClicked)) << url;
  };
  auto opened = [&] {
    std::vector<std::string> urls;
    for (const Url& url : platform->application().openedURLs()) {
      urls.push_back(url.absoluteString());
    }
    return urls;
  };
  // A page in a loop (even of what the engine calls link clicks): one opening, and one
  // line for the whole burst of refusals.
  for (int n = 1; n <= 50; ++n) open("http://example.com/" + std::to_string(n));
  EXPECT_EQ(opened(), std::vector<std::string>{"http://example.com/1"});
  EXPECT_EQ(logged.size(), 1u);
  // A real click or key is good for one opening, at once.
  platform->application().gesture();
  open("http://example.com/51");
  open("http://example.com/52");
  // Other schemes never leave, gesture or not.
  platform->application().gesture();
  open("smb://127.0.0.1/share");
  open("FTP://127.0.0.1/file");
  EXPECT_EQ(opened(), (std::vector<std::string>{"http://example.com/1", "http://example.com/51"}));
  // Later the page may open one again (the unused gesture is stale by then); a new burst
  // is said again.
  platform->runLoop().advance(5);
  open("https://example.com/56");
  open("http://example.com/57");
  setLogSink(previous);
  EXPECT_EQ(opened().back(), "https://example.com/56");
  EXPECT_EQ(opened().size(), 3u);
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_NE(logged.back().find("http://example.com/57"), std::string::npos) << logged.back();
}

TEST_F(PageHostTest, MessagesFromThePageAreDispatchedAsCommandLoadsAre) {
  std::vector<Dictionary> events;
  platform->setTraceSink([&](const Dictionary& e) { events.push_back(e); });
  launchAndLoad();
  UserDefaults& defaults = platform->userDefaults();
  webView().postMessage("tumbla://settings.prismora/update?theme=3&pauseButton=2");
  webView().postMessage("http://example.com/news");
  // No click stands behind a message: a second link at once is dropped, as for loads.
  webView().postMessage("http://example.com/flood");
  // Neither a URL nor one with a host: nothing is dispatched, nothing is loaded.
  webView().postMessage("not a url");
  webView().postMessage("file:///tmp/other.html");
  webView().postMessage("tumbla://settings.prismora/update?theme=4&shakeToUndo=0");

  EXPECT_EQ(defaults.integerForKey("theme"), 4);
  EXPECT_EQ(defaults.integerForKey("pauseButton"), 0);
  EXPECT_TRUE(defaults.boolForKey("shakeToUndo"));
  ASSERT_EQ(platform->application().openedURLs().size(), 1u);
  EXPECT_EQ(platform->application().openedURLs()[0].absoluteString(), "http://example.com/news");
  EXPECT_EQ(webView().loadedURLs().size(), 1u);

  std::vector<std::string> traced;
  for (const Dictionary& e : events) {
    const Value* kind = e.find("event");
    const Value* url = e.find("url");
    if (kind && *kind->stringIf() == "message") traced.emplace_back(*url->stringIf());
  }
  EXPECT_EQ(traced,
            (std::vector<std::string>{"tumbla://settings.prismora/update?theme=3&pauseButton=2",
                                      "http://example.com/news", "http://example.com/flood",
                                      "file:///tmp/other.html",
                                      "tumbla://settings.prismora/update?theme=4&shakeToUndo=0"}));
}

TEST_F(PageHostTest, OptionalCommandsChangeNothingInTheHost) {
  launchAndLoad();
  webView().clearScripts();
  for (const char* command : {"x://undo.prismora/enable?remaining=2", "x://app.prismora/quit",
                              "x://gameCenter.prismora/scores", "x://gameCenter.prismora/submit"}) {
    EXPECT_FALSE(webView().navigate(*Url::parse(command)));
  }
  EXPECT_EQ(scripts(), Scripts{});
  EXPECT_TRUE(platform->application().openedURLs().empty());
}

TEST_F(PageHostTest, PhoneLaunchImageIsTurnedAndShifted) {
  platform->userInterface().addImage("Default.png", {320, 480});
  launch();
  const AffineTransform& t = controller().imageView()->transform();
  EXPECT_NEAR(t.a, 0.0, 1e-6);
  EXPECT_NEAR(t.b, -1.0, 1e-6);
  EXPECT_NEAR(t.c, 1.0, 1e-6);
  EXPECT_NEAR(t.d, 0.0, 1e-6);
  // A shift of (80, 80) in the turned space.
  EXPECT_NEAR(t.tx, 80.0, 1e-4);
  EXPECT_NEAR(t.ty, -80.0, 1e-4);
  EXPECT_EQ(controller().webView()->frame(), (Rect{0, 0, 480, 320}));
}

TEST_F(PageHostTest, TabletLandscapeImageIsShownUnturned) {
  platform->application().setDeviceFacts({UserInterfaceIdiom::Pad, "iPad2,1", "5.0"});
  platform->userInterface().addImage("Default-Landscape.png", {1024, 768});
  launch();
  EXPECT_TRUE(controller().imageView()->transform().isIdentity());
  EXPECT_EQ(controller().imageView()->image()->path, "Default-Landscape.png");
}

TEST_F(PageHostTest, LaunchImageFadesAfterTheLoad) {
  launch();
  EXPECT_EQ(controller().imageView()->alpha(), 1.0);
  webView().finishLoad();
  EXPECT_DOUBLE_EQ(controller().imageView()->alpha(), 0.99);
  platform->runLoop().advance(0.9);
  EXPECT_DOUBLE_EQ(controller().imageView()->alpha(), 0.99);
  platform->runLoop().advance(0.6);
  EXPECT_GT(controller().imageView()->alpha(), 0.0);
  EXPECT_LT(controller().imageView()->alpha(), 0.99);
  platform->runLoop().advance(0.6);
  EXPECT_EQ(controller().imageView()->alpha(), 0.0);
}

TEST_F(PageHostTest, LaunchImageFadeEasesInAndOut) {
  launchAndLoad();
  // A quarter of the way through the fade has covered an eighth of it, three quarters
  // seven eighths; a linear fade would be at a quarter and three quarters.
  platform->runLoop().advance(1.25);
  EXPECT_NEAR(controller().imageView()->alpha(), 0.99 * (1 - 0.125), 0.012);
  platform->runLoop().advance(0.5);
  EXPECT_NEAR(controller().imageView()->alpha(), 0.99 * (1 - 0.875), 0.012);
}

TEST_F(PageHostTest, OlderDevicesWaitThreeSecondsBeforeTheFade) {
  for (const char* model : {"iPhone1,1", "iPhone1,2", "iPod1,1", "iPod1,2"}) {
    install();
    platform->application().setDeviceFacts({std::nullopt, model, "3.1"});
    launchAndLoad();
    platform->runLoop().advance(2.9);
    EXPECT_DOUBLE_EQ(controller().imageView()->alpha(), 0.99) << model;
    platform->runLoop().advance(1.2);
    EXPECT_EQ(controller().imageView()->alpha(), 0.0) << model;
  }
  for (const char* model : {"iPhone2,1", "iPod2,1", "iPhone1,3", ""}) {
    install();
    platform->application().setDeviceFacts({std::nullopt, model, "3.1"});
    launchAndLoad();
    platform->runLoop().advance(2.1);
    EXPECT_EQ(controller().imageView()->alpha(), 0.0) << model;
  }
}

TEST_F(PageHostTest, SystemsBefore4HaveNoRootViewController) {
  platform->application().setDeviceFacts({std::nullopt, "iPhone1,2", "3.1.3"});
  launch();
  EXPECT_EQ(delegate->window()->rootView(), nullptr);
  ASSERT_EQ(delegate->window()->subviews().size(), 1u);
  EXPECT_EQ(delegate->window()->subviews()[0], controller().view());

  for (const char* version : {"4.0", "4", "4.3", "10.1"}) {
    install();
    platform->application().setDeviceFacts({std::nullopt, "iPhone3,1", version});
    launch();
    EXPECT_EQ(delegate->window()->rootView(), controller().view()) << version;
  }
  for (const char* version : {"3.2", "3.99", "", "release"}) {
    install();
    platform->application().setDeviceFacts({std::nullopt, "iPhone3,1", version});
    launch();
    EXPECT_EQ(delegate->window()->rootView(), nullptr) << version;
  }

  install();
  launch();
  EXPECT_EQ(delegate->window()->rootView(), controller().view());
  // The upright screen turns to landscape: the window has the page's shape, and the root
  // view and the page fill it.
  EXPECT_EQ(delegate->window()->frame(), (Rect{0, 0, 480, 320}));
  EXPECT_EQ(controller().view()->frame(), (Rect{0, 0, 480, 320}));
  EXPECT_EQ(controller().webView()->frame(), (Rect{0, 0, 480, 320}));
  EXPECT_TRUE(platform->userInterface().windows().back()->isVisible());
}

TEST_F(PageHostTest, APageOfItsOwnSizeShapesTheWindowAndTheControlsKeepToItsEdges) {
  struct Case {
    const char* pageSize;
    bool isPad;
    Rect page;
    Rect camera;
    Rect panel;
  };
  const Case cases[] = {
      // The device's own screen: everything where it was drawn.
      {nullptr, false, {0, 0, 480, 320}, {320, 0, 20, 20}, {0, 0, 480, 320}},
      // Portrait: the camera keeps its distance to the right edge, the panel is centred.
      {"500x900", false, {0, 0, 500, 900}, {340, 0, 20, 20}, {10, 290, 480, 320}},
      {"500x900", true, {0, 0, 500, 900}, {250, 0, 43, 43}, {-262, 66, 1024, 768}},
      {"1920x1080", false, {0, 0, 1920, 1080}, {1760, 0, 20, 20}, {720, 380, 480, 320}},
  };
  for (const Case& c : cases) {
    install();
    platform->userInterface().addImage("shexiangtou.png", {20, 20});
    if (c.pageSize) platform->simBundle().setInfo("TumblaPageSize", c.pageSize);
    if (c.isPad)
      platform->application().setDeviceFacts({UserInterfaceIdiom::Pad, "iPad1,1", "4.3"});
    launch();
    std::string shown = std::string(c.pageSize ? c.pageSize : "default") + (c.isPad ? " pad" : "");
    EXPECT_EQ(delegate->window()->frame(), c.page) << shown;
    EXPECT_EQ(controller().view()->frame(), c.page) << shown;
    EXPECT_EQ(controller().webView()->frame(), c.page) << shown;
    ASSERT_TRUE(controller().snapshotSharing().cameraButton()) << shown;
    EXPECT_EQ(controller().snapshotSharing().cameraButton()->frame(), c.camera) << shown;
    EXPECT_EQ(controller().snapshotSharing().shareView()->frame(), c.panel) << shown;
  }
}

TEST_F(PageHostTest, OnlyLandscapeOrientationsAreAccepted) {
  launch();
  for (int orientation = 0; orientation <= 5; ++orientation) {
    EXPECT_EQ(controller().shouldAutorotateToInterfaceOrientation(orientation),
              orientation == 3 || orientation == 4);
  }
}

TEST_F(PageHostTest, TraceShowsEachBridgeEvent) {
  std::vector<Dictionary> events;
  // The sound manager's session changes are traced too; this test follows the bridge.
  platform->setTraceSink([&](const Dictionary& e) {
    const Value* name = e.find("event");
    if (!name || !name->stringIf() || !name->stringIf()->starts_with("audio-")) events.push_back(e);
  });
  launch();
  controller().executeJavaScript("early()");
  webView().finishLoad();
  webView().navigate(*Url::parse("http://example.com/"));
  platform->application().send(LifecycleEvent::WillResignActive);

  auto field = [](const Dictionary& e, const char* key) -> std::string {
    const Value* v = e.find(key);
    return v && v->stringIf() ? std::string(*v->stringIf()) : std::string();
  };
  ASSERT_GE(events.size(), 6u);
  EXPECT_EQ(field(events[0], "event"), "script-held");
  EXPECT_EQ(field(events[1], "channel"), "direct");
  EXPECT_EQ(field(events[3], "script"), "early()");
  EXPECT_EQ(field(events[3], "channel"), "queued");
  auto findEvent = [&](const char* name) {
    for (const Dictionary& e : events) {
      if (field(e, "event") == name) return e;
    }
    return Dictionary{};
  };
  Dictionary navigation = findEvent("navigation");
  EXPECT_EQ(field(navigation, "url"), "http://example.com/");
  EXPECT_EQ(navigation.find("handled")->booleanIf() != nullptr, true);
  EXPECT_TRUE(*navigation.find("handled")->booleanIf());
  EXPECT_EQ(field(findEvent("open-outside"), "url"), "http://example.com/");
  EXPECT_EQ(field(findEvent("lifecycle"), "name"), "applicationWillResignActive:");
}

TEST_F(PageHostTest, TraceSaysWhyAScriptFailedAndCutsLongScripts) {
  std::vector<Dictionary> events;
  platform->setTraceSink([&](const Dictionary& e) { events.push_back(e); });
  // A saved game of 50,000 characters, most of them two bytes long.
  std::string state = "\"" + std::string(1, 'a');
  for (int i = 0; i < 25000; ++i) state += "\xC3\xA9";
  state += "\"";
  writeDocument("gamestate.json", state);
  launch();
  webView().setAnswer("Tumbla.initWithGameState(" + state + ")", std::nullopt);
  webView().finishLoad();

  const Dictionary* rejected = nullptr;
  const Dictionary* fresh = nullptr;
  for (const Dictionary& e : events) {
    const Value* script = e.find("script");
    if (!script || !script->stringIf()) continue;
    if (script->stringIf()->starts_with("Tumbla.initWithGameState(")) rejected = &e;
    if (*script->stringIf() == "Tumbla.init()") fresh = &e;
  }
  ASSERT_NE(rejected, nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_FALSE(*rejected->find("answered")->booleanIf());
  EXPECT_EQ(*rejected->find("error")->stringIf(), SimWebView::kThrownMessage);
  std::string_view shown = *rejected->find("script")->stringIf();
  EXPECT_LE(shown.size(), BridgeTrace::kTracedScriptBytes);
  EXPECT_GE(shown.size(), BridgeTrace::kTracedScriptBytes - 1);
  EXPECT_TRUE(isValidUtf8(shown));
  EXPECT_EQ(
      rejected->find("scriptLength")->toInteger(),
      static_cast<std::int64_t>(std::string("Tumbla.initWithGameState()").size() + state.size()));
  // A short script that answered is shown whole, without a length or an error.
  EXPECT_TRUE(*fresh->find("answered")->booleanIf());
  EXPECT_EQ(fresh->find("scriptLength"), nullptr);
  EXPECT_EQ(fresh->find("error"), nullptr);
}

TEST_F(PageHostTest, OnlyThePageStartGetsTheLongerLimit) {
  launchAndLoad();
  const std::vector<ScriptKind>& kinds = webView().scriptKinds();
  ASSERT_EQ(kinds.size(), scripts().size());
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(kinds[i] == ScriptKind::StartUp, scripts()[i] == "Tumbla.init()") << scripts()[i];
  }
}

}  // namespace
}  // namespace tumbla::testing
