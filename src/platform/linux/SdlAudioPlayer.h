#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/linux/AudioMixer.h"

namespace tumbla {

// A player whose voice the shared mixer plays. Its playing state changes on the main
// thread only: the mixer's end report arrives there, and finds nothing to call when the
// player was stopped, started again or destroyed in the meantime.
class SdlAudioPlayer : public AudioPlayer {
 public:
  SdlAudioPlayer(std::string path, std::shared_ptr<AudioMixer> mixer, std::shared_ptr<Voice> voice,
                 double duration);
  ~SdlAudioPlayer() override;

  bool isPlaying() const override { return playing_; }
  double duration() const override { return duration_; }

 protected:
  void playImpl() override;
  void stopImpl() override;
  void volumeChanged() override;

 private:
  void voiceFinished();

  std::shared_ptr<AudioMixer> mixer_;
  std::shared_ptr<Voice> voice_;
  double duration_;
  bool playing_ = false;
  bool atEnd_ = false;
  // The owner of the current play's end report: the voice holds it weakly, so ending the
  // play (a stop, a new play, the player's end) lets go of the report before it can run.
  std::shared_ptr<const std::function<void()>> endOfPlay_;
};

}  // namespace tumbla
