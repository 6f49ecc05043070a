#include "host/TumblaViewController.h"

#include <array>
#include <string_view>

#include "host/CounterFile.h"
#include "host/Shakable.h"
#include "platform/Animation.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

constexpr const char* kGameStateFile = "gamestate.json";
constexpr const char* kActivationCounterFile = "yongHu31.plist";
constexpr const char* kUploadCounterFile = "facebook2.plist";

std::string boolArgument(bool value) {
  return value ? "1" : "0";
}

}  // namespace

TumblaViewController::TumblaViewController()
    : snapshotSharing_(SnapshotSharing::Settings::fromBundle(Platform::shared().bundle()), intFB_) {
  urlDispatcher_.setDelegate(this);
  // Seam: the music track list "track1" to "track9" goes to the shuffled playlist here.
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
    // The launch image is drawn upright; a quarter turn lays it over the landscape page.
    double shift = (size.height - size.width) * 0.5;
    imageView_->setTransform(
        AffineTransform::rotation(static_cast<float>(-1.5707964)).translatedBy(shift, shift));
  }
}

void TumblaViewController::viewDidLoad() {
  readCounters();
  snapshotSharing_.buildInto(view_, isIPad());
  // Seam: the remote configuration page decides here whether the promotion button shows.
  loadPage();
  deviceShakenSubscription_ = Platform::shared().notificationCenter().addObserver(
      this, std::string(kDeviceShakenNotification), nullptr,
      [this](const Notification&) { deviceShaken(); });
}

void TumblaViewController::readCounters() {
  struct Counter {
    const char* file;
    std::int32_t& value;
  };
  for (Counter counter :
       {Counter{kActivationCounterFile, intValue_}, Counter{kUploadCounterFile, intFB_}}) {
    std::string path = dataFilePath(counter.file);
    if (std::optional<std::int32_t> stored = CounterFile::read(path)) {
      counter.value = *stored;
    } else {
      CounterFile::write(path, counter.value);
    }
  }
}

TumblaViewController::GamePage TumblaViewController::findGamePage() {
  const Bundle& bundle = Platform::shared().bundle();
  const Value* html = bundle.objectForInfoDictionaryKey("HTML");
  if (!html || !html->stringIf() || html->stringIf()->empty()) {
    return {std::nullopt, "the bundle's Info.plist has no HTML key naming the game page"};
  }
  std::string name(*html->stringIf());
  if (isIPad()) name += "~ipad";
  std::optional<std::string> path = bundle.pathForResource(name, "html");
  if (!path) return {std::nullopt, "the bundle has no game page " + name + ".html"};
  return {path, {}};
}

void TumblaViewController::loadPage() {
  GamePage page = findGamePage();
  if (!page.path) {
    logLine(page.problem);
    return;
  }
  webView_->loadURL(Url::fileURLWithPath(*page.path));
}

void TumblaViewController::viewDidUnload() {
  deviceShakenSubscription_.cancel();
  if (webView_) webView_->setDelegate(nullptr);
  webView_.reset();
  imageView_.reset();
}

bool TumblaViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
  return orientation == 3 || orientation == 4;
}

bool TumblaViewController::isIPad() {
  return Platform::shared().application().deviceFacts().idiom == UserInterfaceIdiom::Pad;
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
    evaluate(*webView_, script, BridgeTrace::ScriptChannel::Queued);
  } else {
    pendingScripts_.push_back(script);
    BridgeTrace::scriptQueued(script);
  }
}

void TumblaViewController::openExternalURL(const Url& url) {
  bool handedOver = Platform::shared().application().openURL(url);
  BridgeTrace::openedOutside(url, handedOver);
}

void TumblaViewController::updateSettings(const QueryParameters& parameters) {
  UserDefaults& defaults = Platform::shared().userDefaults();
  defaults.setInteger("theme", integerParameter(parameters, "theme"));
  defaults.setInteger("pauseButton", integerParameter(parameters, "pauseButton"));
  // A switch counts as on whenever the page names it, whatever value it sends.
  defaults.setBool("soundEnabled", parameters.contains("soundEnabled"));
  defaults.setBool("musicEnabled", parameters.contains("musicEnabled"));
  // Seam: the sound manager's background-music switch follows "musicEnabled" here.
  defaults.setBool("shakeToUndo", parameters.contains("shakeToUndo"));
}

bool TumblaViewController::shouldStartLoad(WebView& /*webView*/, const Url& url,
                                           NavigationType type) {
  bool handled = urlDispatcher_.dispatchURL(url);
  BridgeTrace::navigation(url, type, handled);
  return !handled;
}

void TumblaViewController::didFinishLoad(WebView& webView) {
  imageView_->setAlpha(0.99);
  launchImageFade_ = animateAlpha(Platform::shared().runLoop(), imageView_, 0.0,
                                  {isOlderDevice() ? 3.0 : 1.0, 1.0, AnimationCurve::EaseInOut});

  evaluateDirect("Tumbla.CONSTANTS.DEBUG_MODE=false");
  if (std::optional<std::string> state = savedGameState()) {
    evaluate(webView, "Tumbla.initWithGameState(" + *state + ")",
             BridgeTrace::ScriptChannel::Direct);
  } else {
    evaluate(webView, "Tumbla.init()", BridgeTrace::ScriptChannel::Direct);
  }
  webViewLoaded_ = true;
  // The queue is kept: a later reload of the page gets the same scripts again.
  for (const std::string& script : pendingScripts_) {
    evaluate(*webView_, script, BridgeTrace::ScriptChannel::Queued);
  }
  loadSettings();
}

std::optional<std::string> TumblaViewController::savedGameState() const {
  const FileManager& files = Platform::shared().fileManager();
  std::string path = gameStateFilePath();
  if (!files.fileExists(path)) return std::nullopt;
  std::optional<std::string> text = files.readFile(path);
  if (text && isValidUtf8(*text)) return text;
  if (!text) {
    logLine("could not read the saved game " + path + "; starting a new game");
    return std::nullopt;
  }
  // The page could not make sense of it either; start afresh but keep the old file.
  std::optional<std::filesystem::path> aside = files.keepAside(path, "invalid-utf8");
  logLine("the saved game " + path + " is not UTF-8 text; starting a new game (kept as " +
          (aside ? aside->string() : std::string("it was")) + ")");
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
      evaluate(*webView_, "Tumbla.saveGameState()", BridgeTrace::ScriptChannel::Direct);
  if (!state || state->empty()) return;
  if (!Platform::shared().fileManager().writeFileAtomically(gameStateFilePath(), *state)) {
    logLine("could not save the game to " + gameStateFilePath());
  }
}

void TumblaViewController::loadSettings() {
  UserDefaults& defaults = Platform::shared().userDefaults();
  defaults.synchronize();
  evaluateDirect("Tumbla.setPauseCorner(" + std::to_string(defaults.integerForKey("pauseButton")) +
                 ")");
  evaluateDirect("Tumbla.setSoundEnabled(" + boolArgument(defaults.boolForKey("soundEnabled")) +
                 ")");
  bool musicEnabled = defaults.boolForKey("musicEnabled");
  // Seam: the sound manager's background-music switch follows "musicEnabled" here.
  evaluateDirect("Tumbla.setMusicEnabled(" + boolArgument(musicEnabled) + ")");
  if (defaults.boolForKey("resetScores")) {
    evaluateDirect("Tumbla.resetScores()");
    defaults.setBool("resetScores", false);
  }
  evaluateDirect("Tumbla.setTheme(" + std::to_string(defaults.integerForKey("theme")) + ")");
  evaluateDirect("Tumbla.setShakeToUndo(" + boolArgument(defaults.boolForKey("shakeToUndo")) + ")");
}

void TumblaViewController::saveSettings() {
  UserDefaults& defaults = Platform::shared().userDefaults();
  defaults.setObject("unsentScores", unsentScores_);
  if (!defaults.synchronize()) logLine("could not write the settings");
}

void TumblaViewController::pauseGame() {
  evaluateDirect("Tumbla.pause(false)");
}

void TumblaViewController::resumeGame(bool fromBackground) {
  evaluateDirect("Tumbla.resume(" + boolArgument(fromBackground) + ")");
}

void TumblaViewController::deviceShaken() {
  if (Platform::shared().userDefaults().boolForKey("shakeToUndo")) evaluateDirect("Tumbla.undo()");
}

void TumblaViewController::applicationWillResignActive() {
  pauseGame();
}

void TumblaViewController::applicationDidBecomeActive() {
  ++intValue_;
  resumeGame(false);
  snapshotSharing_.applicationDidBecomeActive(intValue_);
  // Seam: the upgrade offer runs here.
}

void TumblaViewController::applicationDidEnterBackground() {
  saveGameState();
  saveSettings();
  CounterFile::write(dataFilePath(kActivationCounterFile), intValue_);
  CounterFile::write(dataFilePath(kUploadCounterFile), intFB_);
}

void TumblaViewController::applicationWillEnterForeground() {
  loadSettings();
  resumeGame(true);
}

void TumblaViewController::applicationWillTerminate() {
  saveGameState();
  saveSettings();
}

std::optional<std::string> TumblaViewController::evaluate(WebView& webView,
                                                          const std::string& script,
                                                          BridgeTrace::ScriptChannel channel) {
  std::optional<std::string> answer = webView.evaluateScript(script);
  BridgeTrace::script(script, channel, answer.has_value());
  return answer;
}

void TumblaViewController::evaluateDirect(const std::string& script) {
  if (webView_) evaluate(*webView_, script, BridgeTrace::ScriptChannel::Direct);
}

}  // namespace tumbla
