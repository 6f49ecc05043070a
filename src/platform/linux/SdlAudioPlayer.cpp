#include "platform/linux/SdlAudioPlayer.h"

namespace tumbla {

SdlAudioPlayer::SdlAudioPlayer(std::string path, std::shared_ptr<AudioMixer> mixer,
                               std::shared_ptr<Voice> voice, double duration)
    : AudioPlayer(std::move(path)),
      mixer_(std::move(mixer)),
      voice_(std::move(voice)),
      duration_(duration) {
  voice_->volume.store(volume());
}

SdlAudioPlayer::~SdlAudioPlayer() {
  mixer_->remove(voice_.get());
}

void SdlAudioPlayer::playImpl() {
  if (atEnd_) {
    voice_->source->restart();
    atEnd_ = false;
  }
  voice_->source->setLoops(numberOfLoops());
  unsigned long pass = ++pass_;
  std::weak_ptr<bool> alive = alive_;
  voice_->finished = [this, alive, pass] {
    if (alive.lock()) voiceFinished(pass);
  };
  playing_ = true;
  mixer_->add(voice_);
}

void SdlAudioPlayer::stopImpl() {
  playing_ = false;
  ++pass_;
  mixer_->remove(voice_.get());
}

void SdlAudioPlayer::volumeChanged() {
  voice_->volume.store(volume(), std::memory_order_relaxed);
}

void SdlAudioPlayer::voiceFinished(unsigned long pass) {
  if (pass != pass_ || !playing_) return;
  playing_ = false;
  atEnd_ = true;
  finishedPlaying();
}

}  // namespace tumbla
