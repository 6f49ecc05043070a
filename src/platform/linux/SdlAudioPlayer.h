#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/linux/AudioMixer.h"
#include "platform/linux/ClipCache.h"

namespace tumbla {

// A player whose voice the shared mixer plays. Its playing state changes on the main
// thread only: the mixer's end report arrives there, and finds nothing to call when the
// player was stopped, started again or destroyed in the meantime. A clip still being
// decoded counts as playing from `play` on, and sounds once it is there.
class SdlAudioPlayer : public AudioPlayer {
 public:
  SdlAudioPlayer(std::string path, std::shared_ptr<AudioMixer> mixer, std::shared_ptr<Voice> voice,
                 double duration);
  ~SdlAudioPlayer() override;

  bool isPlaying() const override { return playing_; }
  // Until a clip is decoded, the length its file states.
  double duration() const override { return duration_; }

  // Makes the voice's source, a clip still being decoded, wait for its clip: the answer
  // gives it (to a player still there).
  ClipCache::Ready awaitClip(std::shared_ptr<ClipSource> source);

 protected:
  void playImpl() override;
  void stopImpl() override;
  void volumeChanged() override;

 private:
  void voiceFinished();
  void clipDecoded(const std::shared_ptr<const DecodedClip>& clip);

  std::shared_ptr<AudioMixer> mixer_;
  std::shared_ptr<Voice> voice_;
  double duration_;
  bool playing_ = false;
  bool atEnd_ = false;
  // The source waiting for its clip; the voice joins the mixer only once it has it.
  std::shared_ptr<ClipSource> awaitedClip_;
  // What the clip's answer holds weakly.
  std::shared_ptr<SdlAudioPlayer*> self_ = std::make_shared<SdlAudioPlayer*>(this);
  // The owner of the current play's end report: the voice holds it weakly, so ending the
  // play (a stop, a new play, the player's end) lets go of the report before it can run.
  std::shared_ptr<const std::function<void()>> endOfPlay_;
};

}  // namespace tumbla
