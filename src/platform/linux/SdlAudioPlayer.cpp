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
  endOfPlay_ = std::make_shared<const std::function<void()>>([this] { voiceFinished(); });
  voice_->finished = [report = std::weak_ptr(endOfPlay_)] {
    if (auto current = report.lock()) (*current)();
  };
  playing_ = true;
  if (!awaitedClip_) mixer_->add(voice_);
}

void SdlAudioPlayer::stopImpl() {
  playing_ = false;
  endOfPlay_.reset();
  mixer_->remove(voice_.get());
}

void SdlAudioPlayer::volumeChanged() {
  voice_->volume.store(volume(), std::memory_order_relaxed);
}

ClipCache::Ready SdlAudioPlayer::awaitClip(std::shared_ptr<ClipSource> source) {
  awaitedClip_ = std::move(source);
  return [player = std::weak_ptr(self_)](const std::shared_ptr<const DecodedClip>& clip) {
    if (auto alive = player.lock()) (*alive)->clipDecoded(clip);
  };
}

void SdlAudioPlayer::clipDecoded(const std::shared_ptr<const DecodedClip>& clip) {
  awaitedClip_->setClip(clip);
  awaitedClip_.reset();
  duration_ = static_cast<double>(clip->frames()) / clip->rate;
  if (playing_) mixer_->add(voice_);
}

void SdlAudioPlayer::voiceFinished() {
  endOfPlay_.reset();
  if (!playing_) return;
  playing_ = false;
  atEnd_ = true;
  finishedPlaying();
}

}  // namespace tumbla
