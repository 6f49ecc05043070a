#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/Sound.h"
#include "platform/Subscription.h"

namespace tumbla {

// The one object through which the game plays audio: at most one music, cross-faded when
// it changes, and any number of overlapping effects, each a fresh Sound.
class SoundManager {
 public:
  // The process's manager, made on first use in the application context; a new context
  // (a new test) gets a new one.
  static SoundManager& sharedManager();

  SoundManager() = default;
  SoundManager(const SoundManager&) = delete;
  SoundManager& operator=(const SoundManager&) = delete;

  // True lets other programs' audio play beside the game's. Only a change reaches the
  // audio session.
  bool allowsBackgroundMusic() const { return allowsBackgroundMusic_; }
  void setAllowsBackgroundMusic(bool allow);
  // Readies the audio output with the bundle's first sound file, playing nothing.
  void prepareToPlay();

  // Starts music, cross-fading from the current one over `musicFadeDuration`; the music
  // already current goes on undisturbed.
  void playMusic(std::string_view name, bool looping);
  // Fades the current music out; from now on there is none.
  void stopMusic();
  bool playingMusic() const { return currentMusic_ != nullptr; }
  const std::shared_ptr<Sound>& currentMusic() const { return currentMusic_; }

  // Starts a new Sound for `name` at `soundVolume`, overlapping any that still play.
  void playSound(std::string_view name, bool looping);
  // Fades out and lets go of every current effect named `name`.
  void stopSound(std::string_view name);
  void stopAllSounds();
  // The effects started and not yet finished or stopped, in start order.
  std::vector<std::shared_ptr<Sound>> currentSounds() const;

  float soundVolume() const { return soundVolume_; }
  void setSoundVolume(float volume);
  float musicVolume() const { return musicVolume_; }
  void setMusicVolume(float volume);
  double soundFadeDuration() const { return soundFadeDuration_; }
  void setSoundFadeDuration(double seconds) { soundFadeDuration_ = seconds; }
  double musicFadeDuration() const { return musicFadeDuration_; }
  void setMusicFadeDuration(double seconds) { musicFadeDuration_ = seconds; }

 private:
  struct CurrentSound {
    std::shared_ptr<Sound> sound;
    // Ends with the entry: a Sound taken out of the list is no longer watched.
    Subscription finished;
  };

  void soundFinished(const Sound* sound);
  void musicFinished(const Sound* sound);

  std::shared_ptr<Sound> currentMusic_;
  Subscription musicFinishedSubscription_;
  std::vector<CurrentSound> currentSounds_;
  bool allowsBackgroundMusic_ = false;
  float soundVolume_ = 1.0f;
  float musicVolume_ = 1.0f;
  double soundFadeDuration_ = 1.0;
  double musicFadeDuration_ = 3.0;
};

}  // namespace tumbla
