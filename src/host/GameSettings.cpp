#include "host/GameSettings.h"

#include "audio/SoundManager.h"
#include "host/PageCall.h"
#include "platform/Platform.h"

namespace tumbla::GameSettings {

void synchronize() {
  // The changes stay in memory for the next write when this one fails.
  (void)Platform::shared().userDefaults().synchronize();
}

void pushToPage(const std::function<void(const std::string& script)>& evaluate) {
  UserDefaults& defaults = Platform::shared().userDefaults();
  synchronize();
  evaluate(pageCall("setPauseCorner", {integerArgument(defaults.integerForKey("pauseButton"))}));
  evaluate(pageCall("setSoundEnabled", {switchArgument(defaults.boolForKey("soundEnabled"))}));
  bool musicEnabled = defaults.boolForKey("musicEnabled");
  SoundManager::sharedManager().setAllowsBackgroundMusic(!musicEnabled);
  evaluate(pageCall("setMusicEnabled", {switchArgument(musicEnabled)}));
  if (defaults.boolForKey("resetScores")) {
    evaluate(pageCall("resetScores"));
    defaults.setBool("resetScores", false);
  }
  evaluate(pageCall("setTheme", {integerArgument(defaults.integerForKey("theme"))}));
  evaluate(pageCall("setShakeToUndo", {switchArgument(defaults.boolForKey("shakeToUndo"))}));
}

void storeFromPage(const QueryParameters& parameters) {
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

void save(const Array& unsentScores) {
  Platform::shared().userDefaults().setObject("unsentScores", unsentScores);
  synchronize();
}

}  // namespace tumbla::GameSettings
