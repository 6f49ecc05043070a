#include "platform/Audio.h"

#include <algorithm>
#include <cmath>

#include "platform/Platform.h"

namespace tumbla {

namespace {

void traceSound(std::string_view event, const AudioPlayer& player) {
  Platform& platform = Platform::shared();
  if (!platform.isTracing()) return;
  Dictionary fields{{"event", event}, {"file", player.path()}};
  if (event == "sound-play") fields.set("loops", Value::integer(player.numberOfLoops()));
  platform.trace(fields);
}

}  // namespace

std::string_view audioSessionCategoryName(AudioSessionCategory category) {
  switch (category) {
    case AudioSessionCategory::Ambient:
      return "ambient";
    case AudioSessionCategory::SoloAmbient:
      return "solo-ambient";
  }
  return "solo-ambient";
}

void AudioPlayer::play() {
  if (isPlaying()) return;
  traceSound("sound-play", *this);
  playImpl();
}

void AudioPlayer::stop() {
  if (!isPlaying()) return;
  traceSound("sound-stop", *this);
  stopImpl();
}

void AudioPlayer::setVolume(float volume) {
  if (std::isnan(volume)) return;
  volume_ = std::clamp(volume, 0.0f, 1.0f);
  volumeChanged();
}

void AudioPlayer::finishedPlaying() {
  traceSound("sound-finish", *this);
  // The handler may release this player: it runs last, from a copy that outlives it.
  if (auto handler = finishedHandler_) handler();
}

void Audio::setSessionCategory(AudioSessionCategory category) {
  category_ = category;
  sessionCategoryChanged();
  Platform& platform = Platform::shared();
  if (platform.isTracing()) {
    platform.trace({{"event", "audio-session"}, {"category", audioSessionCategoryName(category)}});
  }
}

}  // namespace tumbla
