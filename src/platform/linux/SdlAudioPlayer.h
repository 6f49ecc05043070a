#pragma once

#include <memory>
#include <string>

#include "platform/Audio.h"
#include "platform/linux/AudioMixer.h"

namespace tumbla {

// A player whose voice the shared mixer plays. Its playing state changes on the main
// thread only: the mixer's end report arrives there and is ignored when the player was
// stopped or started again in the meantime.
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
  void voiceFinished(unsigned long pass);

  std::shared_ptr<AudioMixer> mixer_;
  std::shared_ptr<Voice> voice_;
  double duration_;
  bool playing_ = false;
  bool atEnd_ = false;
  // Counts plays, so that an end report of an earlier play is told apart.
  unsigned long pass_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tumbla
