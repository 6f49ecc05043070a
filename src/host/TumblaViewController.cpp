#include "host/TumblaViewController.h"

#include <array>
#include <string_view>
#include <tuple>

#include "audio/Playlist.h"
#include "host/GameSettings.h"
#include "host/NumericOrder.h"
#include "host/PageCall.h"
#include "host/Shakable.h"
#include "platform/Animation.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

// The launch image is drawn upright; a quarter turn against the clock lays it over the
// landscape page.
constexpr float kQuarterTurnCounterClockwise = -1.5707964F;

}  // namespace

TumblaViewController::TumblaViewController(const DeploymentSettings& deployment)
    : deployment_(deployment),
      snapshotSharing_(SnapshotSharing::Settings::fromBundle(Platform::shared().bundle()),
                       counters_.uploadCounter()),
      promotions_(deployment) {
  urlDispatcher_.setDelegate(this);
  std::vector<std::string> tracks;
  for (int track = 1; track <= 9; ++track) tracks.push_back("track" + std::to_string(track));
  Playlist& playlist = Playlist::sharedInstance();
  playlist.setShuffle(true);
  playlist.setTracks(tracks);
}

TumblaViewController::~TumblaViewController() {
  if (webView_) webView_->setDelegate(nullptr);
  urlDispatcher_.setDelegate(nullptr);
}

const std::shared_ptr<View>& TumblaViewController::view() {
  if (!view_) {
    loadView();
    viewDidLoad();
  }
  return view_;
}

void TumblaViewController::loadView() {
  UserInterface& ui = Platform::shared().userInterface();
  // The root view has the device's upright measures and the page is landscape, the web
  // view taking them swapped; unless the bundle gives its page a size, which both take.
  Rect page = pageBounds(deployment_);
  view_ = ui.makeView(deployment_.pageSize ? page : ui.mainScreenBounds());
  webView_ = ui.makeWebView(page);
  webView_->setDelegate(this);
  view_->addSubview(webView_);

  std::string launchImage;
  if (const Value* name =
          Platform::shared().bundle().objectForInfoDictionaryKey("UILaunchImageFile")) {
    if (auto text = name->stringIf()) launchImage = *text;
  }
  std::optional<Image> image;
  if (isIPad()) {
    std::size_t dot = launchImage.rfind('.');
    std::string base = launchImage.substr(0, dot);
    std::string extension = dot == std::string::npos ? "" : launchImage.substr(dot + 1);
    image = ui.imageNamed(base + "-Landscape." + extension);
  }
  bool mustTurn = !image;
  if (mustTurn) image = ui.imageNamed(launchImage);

  Size size = image ? image->size : Size{};
  imageView_ = ui.makeImageView(std::move(image));
  view_->addSubview(imageView_);
  if (mustTurn) {
    double shift = (size.height - size.width) * 0.5;
    imageView_->setTransform(
        AffineTransform::rotation(kQuarterTurnCounterClockwise).translatedBy(shift, shift));
  }
}

void TumblaViewController::viewDidLoad() {
  // First: the engine takes longer to start the page than the rest of the launch takes,
  // which the page sees nothing of before it has loaded.
  loadPage();
  counters_.read();
  Rect page = pageBounds(deployment_);
  if (deployment_.features.sharing) {
    snapshotSharing_.buildInto(view_, isIPad(), {page.width, page.height});
  }
  if (deployment_.features.promotion) {
    promotions_.addPromotionButton(*view_, isIPad(), {page.width, page.height});
  }
  deviceShakenSubscription_ = Platform::shared().notificationCenter().addObserver(
      std::string(kDeviceShakenNotification), nullptr,
      [this](const Notification&) { deviceShaken(); });
}

Rect TumblaViewController::pageBounds(const DeploymentSettings& deployment) {
  if (deployment.pageSize) return {0, 0, deployment.pageSize->width, deployment.pageSize->height};
  Rect screen = Platform::shared().userInterface().mainScreenBounds();
  return {0, 0, screen.height, screen.width};
}

Result<std::string> TumblaViewController::findGamePage() {
  const Bundle& bundle = Platform::shared().bundle();
  const Value* html = bundle.objectForInfoDictionaryKey("HTML");
  if (!html || !html->stringIf() || html->stringIf()->empty()) {
    return Failure{"the bundle's Info.plist has no HTML key naming the game page"};
  }
  std::string name(*html->stringIf());
  if (isIPad()) name += "~ipad";
  std::optional<std::string> path = bundle.pathForResource(name, "html");
  if (!path) return Failure{"the bundle has no game page " + name + ".html"};
  return std::move(*path);
}

void TumblaViewController::loadPage() {
  Result<std::string> page = findGamePage();
  if (!page) {
    logLine(page.reason());
    return;
  }
  webView_->loadURL(Url::fileURLWithPath(*page));
}

void TumblaViewController::viewDidUnload() {
  deviceShakenSubscription_.cancel();
  if (webView_) webView_->setDelegate(nullptr);
  webView_.reset();
  imageView_.reset();
}

bool TumblaViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
  return orientation == static_cast<int>(InterfaceOrientation::LandscapeRight) ||
         orientation == static_cast<int>(InterfaceOrientation::LandscapeLeft);
}

bool TumblaViewController::isIPad() {
  return Platform::shared().application().deviceFacts().idiom == UserInterfaceIdiom::Pad;
}

bool TumblaViewController::isGameCenterAvailable() {
  DeviceFacts device = Platform::shared().application().deviceFacts();
  if (!device.hasGameService) return false;
  if (compareNumerically(device.systemVersion, "4.1") < 0) return false;
  return !isOlderDevice();
}

std::string TumblaViewController::leaderboardCategory(const std::string& key) {
  logLine(key);
  return "com.Zelvor.Tumbla." + key + "." + (isIPad() ? "ipad" : "iphone");
}

bool TumblaViewController::isOlderDevice() {
  static constexpr std::array<std::string_view, 4> kOlderModels = {"iPhone1,1", "iPhone1,2",
                                                                   "iPod1,1", "iPod1,2"};
  std::string model = Platform::shared().application().deviceFacts().model;
  for (std::string_view older : kOlderModels) {
    if (model == older) return true;
  }
  return false;
}

void TumblaViewController::executeJavaScript(const std::string& script) {
  if (webViewLoaded_) {
    // After the view was unloaded there is no page to reach; the call does nothing.
    evaluateQueued(script);
  } else {
    pendingScripts_.push_back(script);
    BridgeTrace::scriptQueued(script);
  }
}

void TumblaViewController::openExternalURL(const Url& url) {
  Platform::shared().application().openURL(url);
}

void TumblaViewController::updateSettings(const QueryParameters& parameters) {
  GameSettings::storeFromPage(parameters);
}

bool TumblaViewController::shouldStartLoad(WebView& /*webView*/, const Url& url,
                                           NavigationType type) {
  bool handled = urlDispatcher_.dispatchURL(url);
  BridgeTrace::navigation(url, type, handled);
  return !handled;
}

void TumblaViewController::didReceiveMessage(WebView& /*webView*/, const std::string& message) {
  std::optional<Url> url = Url::parse(message);
  if (!url) {
    logLine("ignored a message to the host that is not a URL: " + message);
    return;
  }
  BridgeTrace::message(*url);
  // A URL without a host is no command, and a message never loads anything.
  urlDispatcher_.dispatchURL(*url);
}

void TumblaViewController::webProcessDidEnd(WebView& /*webView*/) {
  pageRecovery_.webProcessEnded();
}

void TumblaViewController::didFinishLoad(WebView& webView) {
  imageView_->setAlpha(0.99);
  launchImageFade_ = animateAlpha(Platform::shared().runLoop(), imageView_, 0.0,
                                  {isOlderDevice() ? 3.0 : 1.0, 1.0, AnimationCurve::EaseInOut});

  evaluateDirect("Tumbla.CONSTANTS.DEBUG_MODE=false");
  startGame(webView);
  webViewLoaded_ = true;
  // The queue is kept: a later reload of the page gets the same scripts again.
  for (const std::string& script : pendingScripts_) evaluateQueued(script);
  loadSettings();
}

void TumblaViewController::startGame(WebView& webView) {
  std::optional<std::string> state = savedGame_.load();
  if (state && evaluate(webView, pageCall("initWithGameState", {*state}),
                        BridgeTrace::ScriptChannel::Direct, ScriptKind::StartUp)) {
    return;
  }
  // The player gets a fresh game instead.
  Result<std::string> fresh =
      evaluate(webView, pageCall("init"), BridgeTrace::ScriptChannel::Direct, ScriptKind::StartUp);
  // The save is set aside only when the page starts without it: a page that can't start at
  // all (a hang, a crash) says nothing against the save, which stays where it is.
  if (state && fresh) savedGame_.keepAsideRejected();
}

std::string TumblaViewController::gameStateFilePath() const {
  return SavedGame::path();
}

std::string TumblaViewController::dataFilePath(const std::string& fileName) {
  return (Platform::shared().storage().documentsDirectory() / fileName).string();
}

void TumblaViewController::saveGameState() {
  // A page that has not loaded holds no game: the one on disk is still the latest.
  if (!webView_ || !webViewLoaded_) return;
  savedGame_.save(
      evaluate(*webView_, pageCall("saveGameState"), BridgeTrace::ScriptChannel::Direct));
}

void TumblaViewController::loadSettings() {
  GameSettings::pushToPage([this](const std::string& script) { evaluateDirect(script); });
}

void TumblaViewController::synchronizeSettings() {
  GameSettings::synchronize();
}

void TumblaViewController::saveSettings() {
  GameSettings::save(unsentScores_);
}

void TumblaViewController::pauseGame() {
  callGame(pageCall("pause", {"false"}));
}

void TumblaViewController::resumeGame(bool fromBackground) {
  callGame(pageCall("resume", {switchArgument(fromBackground)}));
}

void TumblaViewController::deviceShaken() {
  if (Platform::shared().userDefaults().boolForKey("shakeToUndo")) callGame(pageCall("undo"));
}

void TumblaViewController::callGame(const std::string& script) {
  // Before the page has loaded there is no game to pause, resume or undo, and its start
  // comes with the load.
  if (webViewLoaded_) evaluateDirect(script);
}

void TumblaViewController::applicationWillResignActive() {
  pauseGame();
  // A session that ends badly after this (a crash, a kill) keeps what was played. Not at
  // once: a window that is being closed or minimised saves on entering the background
  // anyway, and a player who is back within moments needs no save.
  saveTimer_ = Platform::shared().runLoop().scheduleTimer(kFocusLostSaveDelaySeconds, false,
                                                          [this] { saveGameState(); });
}

void TumblaViewController::applicationDidBecomeActive() {
  resumeGame(false);
  // The page's saveGameState() only reads, so saving during play is safe.
  saveTimer_ = Platform::shared().runLoop().scheduleTimer(kPeriodicSaveSeconds, true,
                                                          [this] { saveGameState(); });
  // On a desktop the keyboard focus comes and goes all the time; an activation that counts
  // is the start and each return from the background (minimised), as on a phone.
  if (!returningFromBackground_) return;
  returningFromBackground_ = false;
  counters_.countActivation();
  // The share panel hides (and opens by itself on some activations) before the upgrade
  // offer, so that the offer's alert lies above it.
  if (deployment_.features.sharing) {
    snapshotSharing_.applicationDidBecomeActive(counters_.activations());
  }
  if (deployment_.features.upgrade) promotions_.offerUpgradeIfDue(counters_.activations());
}

void TumblaViewController::applicationDidEnterBackground() {
  saveTimer_.reset();
  saveGameState();
  saveSettings();
  counters_.write();
}

void TumblaViewController::applicationWillEnterForeground() {
  returningFromBackground_ = true;
  loadSettings();
  resumeGame(true);
}

void TumblaViewController::applicationWillTerminate() {
  saveTimer_.reset();
  saveGameState();
  saveSettings();
}

Result<std::string> TumblaViewController::evaluate(WebView& webView, const std::string& script,
                                                   BridgeTrace::ScriptChannel channel,
                                                   ScriptKind kind) {
  Result<std::string> answer = webView.evaluateScript(script, kind);
  if (answer) {
    BridgeTrace::script(script, channel);
  } else {
    BridgeTrace::scriptFailed(script, channel, answer.reason());
  }
  return answer;
}

// A call whose failure the trace tells is all that comes of it: the game goes on either way.
void TumblaViewController::evaluateDirect(const std::string& script) {
  if (webView_) std::ignore = evaluate(*webView_, script, BridgeTrace::ScriptChannel::Direct);
}

void TumblaViewController::evaluateQueued(const std::string& script) {
  if (webView_) std::ignore = evaluate(*webView_, script, BridgeTrace::ScriptChannel::Queued);
}

}  // namespace tumbla
