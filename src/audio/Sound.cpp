#include "audio/Sound.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <unordered_map>

#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

constexpr double kFadeInterval = 1.0 / 60.0;

// The playing Sounds, each holding itself. Kept in the application context rather than in
// each Sound so that a Sound holding itself is still reachable (leak checkers see no lost
// cycle), and a new context (a new test) starts with none.
struct PlayingSounds {
  std::unordered_map<const Sound*, std::shared_ptr<Sound>> references;

  PlayingSounds() = default;
  PlayingSounds(const PlayingSounds&) = delete;
  PlayingSounds& operator=(const PlayingSounds&) = delete;
  ~PlayingSounds() {
    // Released outside the map, as a Sound's release may look the map up again.
    auto released = std::move(references);
    references.clear();
  }
};

std::unordered_map<const Sound*, std::shared_ptr<Sound>>& selfReferences() {
  return ApplicationContext::current().sharedInstance<PlayingSounds>().references;
}

// The Sounds that can't play, one per file name: a page that asks again and again for a
// sound the bundle lacks gets the same silent Sound, and the log hears of it once.
struct SilentSounds {
  std::map<std::string, std::shared_ptr<Sound>, std::less<>> byFileName;
};

float clampVolume(float volume) {
  return std::clamp(volume, 0.0f, 1.0f);
}

}  // namespace

std::shared_ptr<Sound> Sound::soundWithName(std::string_view name) {
  std::string fileName(name);
  // An empty name names no file (".caf" would be a hidden file, not a sound).
  if (!fileName.empty() && std::filesystem::path(fileName).extension().empty()) {
    fileName += ".caf";
  }
  auto& silent = ApplicationContext::current().sharedInstance<SilentSounds>().byFileName;
  if (auto known = silent.find(fileName); known != silent.end()) return known->second;
  std::optional<std::string> path;
  if (!name.empty()) path = Platform::shared().bundle().pathForResource(fileName, "");
  std::shared_ptr<Sound> sound;
  if (path) {
    sound = soundWithURL(Url::fileURLWithPath(*path));
    if (sound->player_) return sound;
  } else {
    logLine("no sound \"" + fileName + "\" in the bundle; it plays nothing");
    sound.reset(new Sound(std::filesystem::path(fileName).stem().string(), std::nullopt));
  }
  silent.emplace(fileName, sound);
  return sound;
}

std::shared_ptr<Sound> Sound::soundWithURL(const Url& url) {
  std::string name = std::filesystem::path(url.path()).stem().string();
  return std::shared_ptr<Sound>(new Sound(std::move(name), url));
}

Sound::Sound(std::string name, std::optional<Url> url)
    : name_(std::move(name)), url_(std::move(url)) {
  if (!url_) return;
  auto player = Platform::shared().audio().makePlayer(url_->path());
  if (player) {
    player_ = std::move(*player);
  } else {
    logLine("cannot play " + url_->path() + ": " + player.reason());
  }
}

Sound::~Sound() {
  if (timer_) timer_->invalidate();
}

bool Sound::playing() const {
  return player_ && player_->isPlaying();
}

bool Sound::holdsItself() const {
  return selfReferences().contains(this);
}

float Sound::volume() const {
  return timer_ ? targetVolume_ : playerVolume();
}

void Sound::setVolume(float volume) {
  if (std::isnan(volume)) return;
  if (timer_) {
    targetVolume_ = clampVolume(volume);
  } else {
    setPlayerVolume(volume);
  }
}

void Sound::setPlayerVolume(float volume) {
  if (player_) player_->setVolume(volume);
}

void Sound::play(bool looping) {
  // A Sound without a player plays nothing and so has no reason to hold itself.
  if (!player_ || playing()) return;
  selfReferences()[this] = shared_from_this();
  std::weak_ptr<Sound> weakSelf = weak_from_this();
  player_->setFinishedHandler([weakSelf] {
    if (auto self = weakSelf.lock()) self->audioPlayerDidFinishPlaying();
  });
  player_->setNumberOfLoops(looping ? -1 : 0);
  player_->play();
}

void Sound::stop() {
  if (player_) player_->stop();
  // The last owner may be the self-reference; this Sound may end when it is dropped, so it
  // is dropped last and outside the map.
  auto& references = selfReferences();
  auto found = references.find(this);
  if (found == references.end()) return;
  std::shared_ptr<Sound> self = std::move(found->second);
  references.erase(found);
}

void Sound::audioPlayerDidFinishPlaying() {
  // Observers may release every other reference; the Sound stays valid until they return.
  std::shared_ptr<Sound> self = shared_from_this();
  stop();
  Platform::shared().notificationCenter().post(std::string(kSoundFinishedPlayingNotification),
                                               this);
}

void Sound::fadeTo(float volume, double duration) {
  if (std::isnan(volume)) return;
  targetVolume_ = clampVolume(volume);
  double rate = (static_cast<double>(targetVolume_) - playerVolume()) / duration;
  volumeDelta_ = static_cast<float>(rate);
  Platform& platform = Platform::shared();
  if (platform.isTracing() && url_) {
    platform.trace({{"event", "sound-fade"},
                    {"file", url_->path()},
                    {"from", Value::real(playerVolume())},
                    {"to", Value::real(targetVolume_)},
                    {"duration", Value::real(duration)}});
  }
  // A fade with no way to move (to the level heard now, over no time, or with nothing to
  // play) would never meet its end test: it ends at once, on its target.
  if (!player_ || volumeDelta_ == 0 || !std::isfinite(volumeDelta_) || !(duration > 0)) {
    setPlayerVolume(targetVolume_);
    endFade();
    if (playerVolume() == 0) stop();
    return;
  }
  if (timer_) return;
  lastTick_ = platform.runLoop().uptime();
  // The timer holds the Sound, so a fade goes on after every other owner has let go.
  timer_ = platform.runLoop().scheduleTimer(kFadeInterval, true,
                                            [self = shared_from_this()] { self->tick(); });
}

void Sound::fadeIn(double duration) {
  setPlayerVolume(0);
  fadeTo(1.0f, duration);
}

void Sound::fadeOut(double duration) {
  fadeTo(0.0f, duration);
}

void Sound::tick() {
  double now = Platform::shared().runLoop().uptime();
  auto elapsed = static_cast<float>(now - lastTick_);
  lastTick_ = now;
  setPlayerVolume(playerVolume() + elapsed * volumeDelta_);
  float level = playerVolume();
  if ((volumeDelta_ > 0 && level >= targetVolume_) ||
      (volumeDelta_ < 0 && level <= targetVolume_)) {
    setPlayerVolume(targetVolume_);
    endFade();
  }
  if (playerVolume() == 0) stop();
}

void Sound::endFade() {
  if (!timer_) return;
  timer_->invalidate();
  timer_.reset();
}

}  // namespace tumbla
