#include "host/TumblaViewController.h"

#include <array>
#include <string_view>

#include "audio/Playlist.h"
#include "audio/SoundManager.h"
#include "host/CounterFile.h"
#include "host/NumericOrder.h"
#include "host/PageCall.h"
#include "host/Shakable.h"
#include "platform/Animation.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

// Why the settings could not be written when that was last said: a file that can't be
// written is said once per reason until a write succeeds again.
struct SettingsWriteReport {
  std::string lastReasonSaid;
};

constexpr const char* kGameStateFile = "gamestate.json";
constexpr const char* kActivationCounterFile = "yongHu31.plist";
constexpr const char* kUploadCounterFile = "facebook2.plist";
// Seconds between two links the page opens outside without the player's gesture.
constexpr double kUnpromptedOpeningGap = 1.0;

// The launch image is drawn upright; a quarter turn against the clock lays it over the
// landscape page.
constexpr float kQuarterTurnCounterClockwise = -1.5707964F;

}  // namespace

TumblaViewController::TumblaViewController()
    : snapshotSharing_(SnapshotSharing::Settings::fromBundle(Platform::shared().bundle()),
                       uploadCount_),
      promotions_(DeploymentSettings::fromBundle()) {
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
  view_ = ui.makeView(ui.mainScreenBounds());

  // The root view has the device's upright measures; the page is always landscape, so
  // the web view takes them swapped.
  Rect bounds = view_->bounds();
  webView_ = ui.makeWebView({0, 0, bounds.height, bounds.width});
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
  readCounters();
  snapshotSharing_.buildInto(view_, isIPad());
  promotions_.addPromotionButton(*view_, isIPad());
  loadPage();
  deviceShakenSubscription_ = Platform::shared().notificationCenter().addObserver(
      this, std::string(kDeviceShakenNotification), nullptr,
      [this](const Notification&) { deviceShaken(); });
}

void TumblaViewController::readCounters() {
  for (auto [file, count] :
       {std::pair<const char*, std::int32_t&>{kActivationCounterFile, activationCount_},
        {kUploadCounterFile, uploadCount_}}) {
    std::string path = dataFilePath(file);
    Result<std::optional<std::int32_t>> stored = CounterFile::read(path);
    if (!stored) {
      // Left as it is: the count it holds may come back, and the next save replaces it.
      logLine(stored.reason() + "; counting from " + std::to_string(count));
    } else if (*stored) {
      count = **stored;
    } else {
      Status written = CounterFile::write(path, count);
      if (!written) cannotSave(written.reason());
    }
  }
}

void TumblaViewController::writeCounters() {
  for (auto [file, count] :
       {std::pair<const char*, std::int32_t>{kActivationCounterFile, activationCount_},
        {kUploadCounterFile, uploadCount_}}) {
    Status written = CounterFile::write(dataFilePath(file), count);
    if (!written) cannotSave(written.reason());
  }
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
    if (webView_) evaluate(*webView_, script, BridgeTrace::ScriptChannel::Queued);
  } else {
    pendingScripts_.push_back(script);
    BridgeTrace::scriptQueued(script);
  }
}

void TumblaViewController::openExternalURL(const Url& url) {
  // A page in a loop must not flood the desktop with browser windows; what the player
  // clicks always opens.
  if (!loadIsUserGesture_) {
    Date now = Platform::shared().runLoop().now();
    double gap = lastUnpromptedOpening_ ? now.secondsSince(*lastUnpromptedOpening_) : -1;
    if (gap >= 0 && gap < kUnpromptedOpeningGap) {
      logLine("dropped an opening of " + url.absoluteString() +
              " outside the game: the page opens links faster than one a second on its own");
      return;
    }
    lastUnpromptedOpening_ = now;
  }
  bool handedOver = Platform::shared().application().openURL(url);
  BridgeTrace::openedOutside(url, handedOver);
}

void TumblaViewController::updateSettings(const QueryParameters& parameters) {
  UserDefaults& defaults = Platform::shared().userDefaults();
  defaults.setInteger("theme", integerParameter(parameters, "theme"));
  defaults.setInteger("pauseButton", integerParameter(parameters, "pauseButton"));
  // A switch counts as on whenever the page names it, whatever value it sends.
  defaults.setBool("soundEnabled", parameters.contains("soundEnabled"));
  bool musicEnabled = parameters.contains("musicEnabled");
  defaults.setBool("musicEnabled", musicEnabled);
  // Other programs' music may play exactly when the game's is off.
  SoundManager::sharedManager().setAllowsBackgroundMusic(!musicEnabled);
  defaults.setBool("shakeToUndo", parameters.contains("shakeToUndo"));
}

bool TumblaViewController::shouldStartLoad(WebView& webView, const Url& url, NavigationType type) {
  loadIsUserGesture_ = webView.loadIsUserGesture();
  bool handled = urlDispatcher_.dispatchURL(url);
  loadIsUserGesture_ = false;
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
  for (const std::string& script : pendingScripts_) {
    evaluate(*webView_, script, BridgeTrace::ScriptChannel::Queued);
  }
  loadSettings();
}

void TumblaViewController::startGame(WebView& webView) {
  std::optional<std::string> state = savedGameState();
  if (state && evaluate(webView, pageCall("initWithGameState", {*state}),
                        BridgeTrace::ScriptChannel::Direct, ScriptKind::StartUp)) {
    return;
  }
  if (state) {
    // The page could not take its own saved game: an unplayable board whose next save
    // would replace the file. Keep the file, and give the player a fresh game instead.
    std::string path = gameStateFilePath();
    Result<std::filesystem::path> aside =
        Platform::shared().fileManager().keepAside(path, "rejected");
    logLine("the page could not start from the saved game " + path +
            "; starting a new game (kept as " +
            (aside ? aside->string() : "it was: " + aside.reason()) + ")");
  }
  evaluate(webView, pageCall("init"), BridgeTrace::ScriptChannel::Direct, ScriptKind::StartUp);
}

std::optional<std::string> TumblaViewController::savedGameState() const {
  const FileManager& files = Platform::shared().fileManager();
  std::string path = gameStateFilePath();
  if (!files.fileExists(path)) return std::nullopt;
  Result<std::string> text = files.readFile(path);
  if (!text) {
    // The file stays as it is until the page hands over a state of its own.
    logLine("the saved game can't be read (" + text.reason() + "); starting a new game");
    return std::nullopt;
  }
  if (isValidUtf8(*text)) return std::move(*text);
  // The page could not make sense of it either; start afresh but keep the old file.
  Result<std::filesystem::path> aside = files.keepAside(path, "invalid-utf8");
  logLine("the saved game " + path + " is not UTF-8 text; starting a new game (kept as " +
          (aside ? aside->string() : "it was: " + aside.reason()) + ")");
  return std::nullopt;
}

std::string TumblaViewController::gameStateFilePath() const {
  return dataFilePath(kGameStateFile);
}

std::string TumblaViewController::dataFilePath(const std::string& fileName) {
  return (Platform::shared().fileManager().documentsDirectory() / fileName).string();
}

void TumblaViewController::saveGameState() {
  if (!webView_) return;
  std::optional<std::string> state =
      evaluate(*webView_, pageCall("saveGameState"), BridgeTrace::ScriptChannel::Direct);
  if (!state) {
    gameSaved_ = false;
    logLine("the game was not saved: the page did not answer Tumbla.saveGameState()");
    return;
  }
  // An empty answer is the page's way of keeping the earlier save.
  gameSaved_ = true;
  if (state->empty()) return;
  Status written =
      Platform::shared().fileManager().writeFileAtomically(gameStateFilePath(), *state);
  gameSaved_ = written.ok();
  if (!written) cannotSave(written.reason());
}

void TumblaViewController::cannotSave(const std::string& reason) {
  logLine("the game was not saved: " + reason);
  // Once a session: the player can do something about it (free space, permissions, another
  // data directory), but an alert at every save would make the game unplayable.
  if (playerToldOfSaveProblem_) return;
  playerToldOfSaveProblem_ = true;
  saveProblemAlert_ = Platform::shared().userInterface().showAlert(
      {"Progress can't be saved",
       "Your progress can't be saved in " +
           Platform::shared().fileManager().documentsDirectory().string() +
           ". The game goes on, but what you play now will be lost when it ends.\n\n(" + reason +
           ")",
       {"OK"},
       0},
      [](int) {});
}

void TumblaViewController::loadSettings() {
  UserDefaults& defaults = Platform::shared().userDefaults();
  synchronizeSettings();
  evaluateDirect(
      pageCall("setPauseCorner", {integerArgument(defaults.integerForKey("pauseButton"))}));
  evaluateDirect(
      pageCall("setSoundEnabled", {switchArgument(defaults.boolForKey("soundEnabled"))}));
  bool musicEnabled = defaults.boolForKey("musicEnabled");
  SoundManager::sharedManager().setAllowsBackgroundMusic(!musicEnabled);
  evaluateDirect(pageCall("setMusicEnabled", {switchArgument(musicEnabled)}));
  if (defaults.boolForKey("resetScores")) {
    evaluateDirect(pageCall("resetScores"));
    defaults.setBool("resetScores", false);
  }
  evaluateDirect(pageCall("setTheme", {integerArgument(defaults.integerForKey("theme"))}));
  evaluateDirect(pageCall("setShakeToUndo", {switchArgument(defaults.boolForKey("shakeToUndo"))}));
}

void TumblaViewController::synchronizeSettings() {
  Status written = Platform::shared().userDefaults().synchronize();
  std::string& lastReasonSaid =
      ApplicationContext::current().sharedInstance<SettingsWriteReport>().lastReasonSaid;
  if (written) {
    lastReasonSaid.clear();
    return;
  }
  if (written.reason() == lastReasonSaid) return;
  lastReasonSaid = written.reason();
  logIfFailed(written, "write the settings");
}

void TumblaViewController::saveSettings() {
  UserDefaults& defaults = Platform::shared().userDefaults();
  defaults.setObject("unsentScores", unsentScores_);
  synchronizeSettings();
}

void TumblaViewController::pauseGame() {
  evaluateDirect(pageCall("pause", {"false"}));
}

void TumblaViewController::resumeGame(bool fromBackground) {
  evaluateDirect(pageCall("resume", {switchArgument(fromBackground)}));
}

void TumblaViewController::deviceShaken() {
  if (Platform::shared().userDefaults().boolForKey("shakeToUndo")) {
    evaluateDirect(pageCall("undo"));
  }
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
  ++activationCount_;
  resumeGame(false);
  // The page's saveGameState() only reads, so saving during play is safe.
  saveTimer_ = Platform::shared().runLoop().scheduleTimer(kPeriodicSaveSeconds, true,
                                                          [this] { saveGameState(); });
  // The share panel hides (and opens by itself on some activations) before the upgrade
  // offer, so that the offer's alert lies above it.
  snapshotSharing_.applicationDidBecomeActive(activationCount_);
  promotions_.offerUpgradeIfDue(activationCount_);
}

void TumblaViewController::applicationDidEnterBackground() {
  saveTimer_.reset();
  saveGameState();
  saveSettings();
  writeCounters();
}

void TumblaViewController::applicationWillEnterForeground() {
  loadSettings();
  resumeGame(true);
}

void TumblaViewController::applicationWillTerminate() {
  saveTimer_.reset();
  saveGameState();
  saveSettings();
}

std::optional<std::string> TumblaViewController::evaluate(WebView& webView,
                                                          const std::string& script,
                                                          BridgeTrace::ScriptChannel channel,
                                                          ScriptKind kind) {
  Result<std::string> answer = webView.evaluateScript(script, kind);
  if (!answer) {
    BridgeTrace::scriptFailed(script, channel, answer.reason());
    return std::nullopt;
  }
  BridgeTrace::script(script, channel);
  return std::move(answer).value();
}

void TumblaViewController::evaluateDirect(const std::string& script) {
  if (webView_) evaluate(*webView_, script, BridgeTrace::ScriptChannel::Direct);
}

}  // namespace tumbla
