#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bridge/URLDispatcher.h"
#include "host/ActivityCounters.h"
#include "host/BridgeTrace.h"
#include "host/DeploymentSettings.h"
#include "host/PageRecovery.h"
#include "host/Promotions.h"
#include "host/SaveProblemAlert.h"
#include "host/SavedGame.h"
#include "host/SnapshotSharing.h"
#include "platform/Application.h"
#include "platform/Result.h"
#include "platform/RunLoop.h"
#include "platform/Subscription.h"
#include "platform/View.h"
#include "platform/WebView.h"
#include "value/Value.h"

namespace tumbla {

// The one screen: a web view showing the game page, covered by the launch image until
// the page has loaded. It starts the page with the saved game and the settings, queues
// scripts until the page is ready, hands every load the page starts to the dispatcher,
// and keeps the game and settings across the application's lifecycle. The parts it
// drives have their own files: SavedGame, GameSettings, ActivityCounters, PageRecovery
// and SaveProblemAlert; what leaves the game passes the application's one gate.
class TumblaViewController : public URLDispatcherDelegate, public WebViewDelegate {
 public:
  explicit TumblaViewController(const DeploymentSettings& deployment);
  ~TumblaViewController() override;
  TumblaViewController(const TumblaViewController&) = delete;
  TumblaViewController& operator=(const TumblaViewController&) = delete;

  // The root view, built (loadView, viewDidLoad) on first use.
  const std::shared_ptr<View>& view();
  // The system's unloading of the view; nothing on Linux unloads the one view yet.
  void viewDidUnload();
  // Only the two landscape orientations; `orientation` is the system's code, any number.
  bool shouldAutorotateToInterfaceOrientation(int orientation) const;

  static bool isIPad();
  static bool isOlderDevice();
  // Whether the game service could be used: the system offers it, is 4.1 or later, and
  // the device is not one of the older models.
  static bool isGameCenterAvailable();
  // The leaderboard identifier for `key` on this kind of device; logs the key.
  static std::string leaderboardCategory(const std::string& key);

  // The page's frame: the bundle's page size, else the device's screen in landscape.
  static Rect pageBounds(const DeploymentSettings& deployment);

  // The path of the bundle's game page for this device, or what is missing.
  static Result<std::string> findGamePage();

  // URLDispatcherDelegate
  void executeJavaScript(const std::string& script) override;
  void openExternalURL(const Url& url) override;
  void updateSettings(const QueryParameters& parameters) override;

  // WebViewDelegate
  bool shouldStartLoad(WebView& webView, const Url& url, NavigationType type) override;
  void didFinishLoad(WebView& webView) override;
  // The fast command path: the text is a command URL, dispatched as a load of it would be.
  void didReceiveMessage(WebView& webView, const std::string& message) override;
  void webProcessDidEnd(WebView& webView) override;

  std::string gameStateFilePath() const;
  static std::string dataFilePath(const std::string& fileName);
  void saveGameState();
  void loadSettings();
  void saveSettings();
  // Writes the settings to their file (see GameSettings::synchronize).
  static void synchronizeSettings();
  void pauseGame();
  void resumeGame(bool fromBackground);
  void deviceShaken();

  void applicationWillResignActive();
  void applicationDidBecomeActive();
  void applicationDidEnterBackground();
  void applicationWillEnterForeground();
  void applicationWillTerminate();

  // The prompt components take the dispatcher as their delegate at launch (still to be
  // built: the seam in TumblaAppDelegate::applicationDidFinishLaunching).
  URLDispatcher& urlDispatcher() { return urlDispatcher_; }
  const std::shared_ptr<WebView>& webView() const { return webView_; }
  const std::shared_ptr<ImageView>& imageView() const { return imageView_; }
  const std::vector<std::string>& pendingScripts() const { return pendingScripts_; }
  bool webViewLoaded() const { return webViewLoaded_; }
  // The activation and upload counters under the names the system gives them.
  std::int32_t intValue() const { return counters_.activations(); }
  std::int32_t intFB() const { return counters_.uploads(); }
  SnapshotSharing& snapshotSharing() { return snapshotSharing_; }
  // Whether the last save of the game reached the disk, or the page asked to keep the
  // earlier one; false when the page did not answer or the file could not be written.
  bool gameSaved() const { return savedGame_.saved(); }

  // How often the game is saved while it is played, and how long after the window lost
  // the focus.
  static constexpr double kPeriodicSaveSeconds = 180;
  static constexpr double kFocusLostSaveDelaySeconds = 2;

  Promotions& promotions() { return promotions_; }

 private:
  void loadView();
  void viewDidLoad();
  void loadPage();
  // Starts the page with the saved game, or afresh when there is none or the page
  // rejects it.
  void startGame(WebView& webView);
  Result<std::string> evaluate(WebView& webView, const std::string& script,
                               BridgeTrace::ScriptChannel channel,
                               ScriptKind kind = ScriptKind::Call);
  // The start-up and settings calls go straight to the web view, loaded or not.
  void evaluateDirect(const std::string& script);
  // A script of the page's own queue, sent once the page has loaded.
  void evaluateQueued(const std::string& script);
  // A lifecycle call to the game (pause, resume, undo): direct, once the page has loaded.
  void callGame(const std::string& script);

  DeploymentSettings deployment_;
  SaveProblemAlert saveProblems_;
  SavedGame savedGame_{saveProblems_};
  ActivityCounters counters_;
  Array unsentScores_;
  URLDispatcher urlDispatcher_;
  SnapshotSharing snapshotSharing_;
  Promotions promotions_;
  std::vector<std::string> pendingScripts_;
  bool webViewLoaded_ = false;
  std::shared_ptr<View> view_;
  std::shared_ptr<WebView> webView_;
  PageRecovery pageRecovery_{[this] { webView_->reload(); }};
  std::shared_ptr<ImageView> imageView_;
  std::shared_ptr<Timer> launchImageFade_;
  Subscription deviceShakenSubscription_;
  // Set from the start, and on each return from the background, until the activation that
  // follows has been counted.
  bool returningFromBackground_ = true;
  // The next save while the game is not in the background: periodic while it is played,
  // once after the focus went elsewhere.
  std::shared_ptr<Timer> saveTimer_;
};

}  // namespace tumbla
