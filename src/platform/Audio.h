#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace tumbla {

// Whether other programs' audio goes on beside the game's (ambient) or is silenced while
// the game plays (solo ambient).
enum class AudioSessionCategory { Ambient, SoloAmbient };

std::string_view audioSessionCategoryName(AudioSessionCategory category);

// One audio file ready to play. The public operations keep the rules every backend shares
// (volume range, loop counting, the finish report and the trace); a backend only starts,
// stops and mixes.
class AudioPlayer {
 public:
  explicit AudioPlayer(std::string path) : path_(std::move(path)) {}
  virtual ~AudioPlayer() = default;
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  const std::string& path() const { return path_; }

  // Loads what playing needs and readies the output, without playing.
  virtual void prepareToPlay() {}
  // Starts, or goes on from where `stop` left the file.
  void play();
  // Stops at once; the finished handler is not called.
  void stop();
  virtual bool isPlaying() const = 0;
  // The file's length in seconds.
  virtual double duration() const = 0;

  // 0.0 (silent) to 1.0 (full); other values are brought into that range and a value that
  // is not a number is ignored.
  float volume() const { return volume_; }
  void setVolume(float volume);
  // How often the file repeats after its first pass: 0 plays it once, a negative count
  // repeats it until it is stopped.
  int numberOfLoops() const { return numberOfLoops_; }
  void setNumberOfLoops(int loops) { numberOfLoops_ = loops; }

  // Called on the main loop when the file has played to its end by itself.
  void setFinishedHandler(std::function<void()> handler) { finishedHandler_ = std::move(handler); }

 protected:
  virtual void playImpl() = 0;
  virtual void stopImpl() = 0;
  virtual void volumeChanged() {}
  // The backend reports the natural end here, on the main loop.
  void finishedPlaying();

 private:
  std::string path_;
  float volume_ = 1.0f;
  int numberOfLoops_ = 0;
  std::function<void()> finishedHandler_;
};

// The audio service: players per file and the session category.
class Audio {
 public:
  virtual ~Audio() = default;

  // A player for the file, or why there is none (missing, unreadable, not audio).
  virtual Result<std::unique_ptr<AudioPlayer>> makePlayer(const std::string& path) = 0;
  // Records the category; on a desktop it has no effect on other programs.
  void setSessionCategory(AudioSessionCategory category);
  AudioSessionCategory sessionCategory() const { return category_; }

 protected:
  virtual void sessionCategoryChanged() {}

 private:
  AudioSessionCategory category_ = AudioSessionCategory::SoloAmbient;
};

}  // namespace tumbla
