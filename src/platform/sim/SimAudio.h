#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Audio.h"
#include "platform/RunLoop.h"
#include "value/Date.h"

namespace tumbla {

class SimRunLoop;

// Audio on the virtual clock: a player "plays" for its file's duration and then reports
// its end through the run loop, and every player records what was done to it, so tests
// can read a fade's volume at any moment and see exactly when a file ends.
//
// Files it plays: PCM WAV and CAF files (their length is read from the header), and the
// test file "sim-audio:SECONDS" with any extension.
class SimAudio : public Audio {
 public:
  struct VolumeChange {
    Date time;
    float volume;
  };
  // What happened to one player; kept after the player is gone.
  struct PlayerRecord {
    std::string path;
    double duration = 0;
    bool playing = false;
    bool released = false;
    int plays = 0;
    int stops = 0;
    int finishes = 0;
    int prepares = 0;
    std::vector<VolumeChange> volumes;

    // The volume in force at `time` (the last change at or before it).
    float volumeAt(Date time) const;
  };

  explicit SimAudio(SimRunLoop& runLoop) : runLoop_(runLoop) {}

  Result<std::unique_ptr<AudioPlayer>> makePlayer(const std::string& path) override;

  // Every player made, in order of making.
  const std::vector<std::shared_ptr<PlayerRecord>>& players() const { return players_; }
  std::vector<std::shared_ptr<PlayerRecord>> playersOf(const std::string& fileName) const;
  int playingCount() const;
  int categoryChanges() const { return categoryChanges_; }

 protected:
  void sessionCategoryChanged() override { ++categoryChanges_; }

 private:
  SimRunLoop& runLoop_;
  std::vector<std::shared_ptr<PlayerRecord>> players_;
  int categoryChanges_ = 0;
};

}  // namespace tumbla
