#include "audio/SoundManager.h"

#include <algorithm>

#include "platform/ApplicationContext.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

// Tried in this order; the first type the bundle has any file of is the one warmed up.
constexpr std::string_view kPreparedTypes[] = {"caf", "m4a", "mp4", "mp3", "wav", "aif"};

}  // namespace

SoundManager& SoundManager::sharedManager() {
  return ApplicationContext::current().sharedInstance<SoundManager>();
}

void SoundManager::setAllowsBackgroundMusic(bool allow) {
  if (allow == allowsBackgroundMusic_) return;
  allowsBackgroundMusic_ = allow;
  Platform::shared().audio().setSessionCategory(allow ? AudioSessionCategory::Ambient
                                                      : AudioSessionCategory::SoloAmbient);
}

void SoundManager::prepareToPlay() {
  Platform& platform = Platform::shared();
  for (std::string_view type : kPreparedTypes) {
    std::vector<std::string> paths = platform.bundle().pathsForResourcesOfType(type);
    if (paths.empty()) continue;
    // Made, readied and released at once: nothing plays and nothing remains.
    if (auto player = platform.audio().makePlayer(paths.front())) (*player)->prepareToPlay();
    return;
  }
}

void SoundManager::playMusic(std::string_view name, bool looping) {
  std::shared_ptr<Sound> music = Sound::soundWithName(name);
  // The same file (theme and theme.caf alike) is the same music: it goes on undisturbed.
  if (currentMusic_ && music->url() && currentMusic_->url() == music->url()) return;
  if (currentMusic_ && currentMusic_->playing()) currentMusic_->fadeOut(musicFadeDuration_);
  currentMusic_ = music;
  const Sound* sender = music.get();
  musicFinishedSubscription_ = Platform::shared().notificationCenter().addObserver(
      std::string(kSoundFinishedPlayingNotification), sender,
      [this, sender](const Notification&) { musicFinished(sender); });
  music->setVolume(0);
  music->play(looping);
  music->fadeTo(musicVolume_, musicFadeDuration_);
}

void SoundManager::stopMusic() {
  if (!currentMusic_) return;
  // The old music holds itself until its fade reaches 0 and it stops.
  currentMusic_->fadeOut(musicFadeDuration_);
  currentMusic_.reset();
  musicFinishedSubscription_.cancel();
}

void SoundManager::playSound(std::string_view name, bool looping) {
  std::shared_ptr<Sound> sound = Sound::soundWithName(name);
  const Sound* sender = sound.get();
  // A sound that can't play is one Sound for its name, listed once however often asked.
  bool listed =
      std::any_of(currentSounds_.begin(), currentSounds_.end(),
                  [sender](const CurrentSound& entry) { return entry.sound.get() == sender; });
  if (listed && !sound->canPlay()) return;
  Subscription finished = Platform::shared().notificationCenter().addObserver(
      std::string(kSoundFinishedPlayingNotification), sender,
      [this, sender](const Notification&) { soundFinished(sender); });
  currentSounds_.push_back({sound, std::move(finished)});
  sound->setVolume(soundVolume_);
  sound->play(looping);
}

void SoundManager::stopSound(std::string_view name) {
  std::vector<std::shared_ptr<Sound>> stopping;
  for (auto entry = currentSounds_.end(); entry != currentSounds_.begin();) {
    --entry;
    if (entry->sound->name() != name) continue;
    stopping.push_back(entry->sound);
    entry = currentSounds_.erase(entry);
  }
  // Faded once the list is settled: a fade that ends at once may stop a Sound, which
  // posts nothing, but keeps the walk above simple either way.
  for (const auto& sound : stopping) sound->fadeOut(soundFadeDuration_);
}

void SoundManager::stopAllSounds() {
  std::vector<CurrentSound> stopping = std::move(currentSounds_);
  currentSounds_.clear();
  for (const CurrentSound& entry : stopping) entry.sound->fadeOut(soundFadeDuration_);
}

std::vector<std::shared_ptr<Sound>> SoundManager::currentSounds() const {
  std::vector<std::shared_ptr<Sound>> sounds;
  for (const CurrentSound& entry : currentSounds_) sounds.push_back(entry.sound);
  return sounds;
}

void SoundManager::setSoundVolume(float volume) {
  soundVolume_ = volume;
  for (const CurrentSound& entry : currentSounds_) entry.sound->setVolume(volume);
}

void SoundManager::setMusicVolume(float volume) {
  musicVolume_ = volume;
  if (currentMusic_) currentMusic_->setVolume(volume);
}

void SoundManager::soundFinished(const Sound* sound) {
  auto found =
      std::find_if(currentSounds_.begin(), currentSounds_.end(),
                   [sound](const CurrentSound& entry) { return entry.sound.get() == sound; });
  if (found == currentSounds_.end()) return;
  // Erasing ends the registration whose handler is running; the center allows that, and
  // the Sound stays valid until the post returns.
  currentSounds_.erase(found);
}

void SoundManager::musicFinished(const Sound* sound) {
  if (currentMusic_.get() != sound) return;
  currentMusic_.reset();
  musicFinishedSubscription_.cancel();
}

}  // namespace tumbla
