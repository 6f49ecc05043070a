#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Audio.h"
#include "platform/RunLoop.h"
#include "platform/Url.h"
#include "value/Date.h"

namespace tumbla {

inline constexpr std::string_view kSoundFinishedPlayingNotification =
    "SoundFinishedPlayingNotification";

// One playable audio file of the bundle: plays once or in a loop, fades its volume
// linearly on a 1/60 s timer, keeps itself alive while it plays, and posts
// "SoundFinishedPlayingNotification" (with itself as the sender) when it plays to its end.
// A file that can't be found or decoded gives a silent Sound that reports not playing.
class Sound : public std::enable_shared_from_this<Sound> {
 public:
  // The bundle resource `name`; a name without an extension gets "caf".
  static std::shared_ptr<Sound> soundWithName(std::string_view name);
  static std::shared_ptr<Sound> soundWithURL(const Url& url);

  ~Sound();
  Sound(const Sound&) = delete;
  Sound& operator=(const Sound&) = delete;

  // The file's name without folder and extension ("click" for .../click.caf).
  const std::string& name() const { return name_; }
  // The file; nothing when the name found no resource.
  const std::optional<Url>& url() const { return url_; }
  // False for a Sound without a file or whose file can't be played: it stays silent.
  bool canPlay() const { return player_ != nullptr; }
  bool playing() const;

  // While a fade runs, its target; otherwise the level now.
  float volume() const;
  // While a fade runs, only its target changes (the fade keeps its rate).
  void setVolume(float volume);

  // Does nothing when already playing (the looping flag stays as it was).
  void play(bool looping);
  // Stops at once and lets go of itself; a running fade goes on and nothing is posted.
  void stop();

  // Moves the volume linearly from the level heard now to `volume` in `duration` seconds.
  // A fade that ends at 0 stops the Sound, without the finished notification.
  void fadeTo(float volume, double duration);
  void fadeIn(double duration);
  void fadeOut(double duration);

  bool fading() const { return timer_ != nullptr; }
  float targetVolume() const { return targetVolume_; }
  float volumeDelta() const { return volumeDelta_; }
  // Whether the Sound is holding itself alive (it does so exactly while it plays).
  bool holdsItself() const;

 private:
  Sound(std::string name, std::optional<Url> url);

  float playerVolume() const { return player_ ? player_->volume() : 0.0f; }
  void setPlayerVolume(float volume);
  // The fade timer's action.
  void tick();
  void endFade();
  void audioPlayerDidFinishPlaying();

  std::string name_;
  std::optional<Url> url_;
  std::unique_ptr<AudioPlayer> player_;
  float targetVolume_ = 0;
  float volumeDelta_ = 0;
  // When the fade last moved, on the run loop's uptime.
  double lastTick_ = 0;
  std::shared_ptr<Timer> timer_;
};

}  // namespace tumbla
