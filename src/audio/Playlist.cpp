#include "audio/Playlist.h"

#include <memory>

#include "audio/Shuffle.h"
#include "audio/SoundManager.h"
#include "platform/ApplicationContext.h"
#include "platform/Platform.h"

namespace tumbla {

Playlist& Playlist::sharedInstance() {
  return ApplicationContext::current().sharedInstance<Playlist>();
}

Playlist::Playlist() {
  seedShuffle();
}

void Playlist::setTracks(const std::vector<std::string>& tracks) {
  if (&tracks != &tracks_) tracks_ = tracks;
  if (shuffle_) tracks_ = shuffledArray(tracks_);
}

void Playlist::setShuffle(bool shuffle) {
  shuffle_ = shuffle;
  if (shuffle_) tracks_ = shuffledArray(tracks_);
}

bool Playlist::hasTrack() {
  if (tracks_.empty()) return false;
  if (trackIndex_ >= tracks_.size()) trackIndex_ = 0;
  return true;
}

void Playlist::play() {
  if (!hasTrack()) return;
  SoundManager::sharedManager().playMusic(tracks_[trackIndex_], true);
}

void Playlist::stop() {
  SoundManager::sharedManager().stopMusic();
}

void Playlist::next() {
  SoundManager& manager = SoundManager::sharedManager();
  if (!hasTrack()) return;
  if (manager.playingMusic()) {
    trackIndex_ = (trackIndex_ + 1) % static_cast<std::uint32_t>(tracks_.size());
    manager.playMusic(tracks_[trackIndex_], true);
  } else {
    play();
  }
}

}  // namespace tumbla
