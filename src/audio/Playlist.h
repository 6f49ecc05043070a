#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tumbla {

// The game's music tracks in a fixed order, shuffled when asked, played one at a time
// (always looped) through the sound manager and moved on when the page asks.
class Playlist {
 public:
  // The process's playlist, made on first use in the application context; a new context
  // (a new test) gets a new one.
  static Playlist& sharedInstance();

  // Seeds the shuffle afresh: each launch plays its own order.
  Playlist();

  // Holds a copy of `tracks` (shuffled when shuffling is on); the index stays.
  void setTracks(const std::vector<std::string>& tracks);
  const std::vector<std::string>& tracks() const { return tracks_; }
  // With true, shuffles the held tracks again; false keeps the present order.
  void setShuffle(bool shuffle);
  bool shuffle() const { return shuffle_; }
  std::uint32_t trackIndex() const { return trackIndex_; }

  // Plays the present track looped.
  void play();
  void stop();
  // With music playing, moves on to the following track (after the last, the first);
  // otherwise starts the present one.
  void next();

 private:
  // Keeps the index on a track when the list has shrunk below it.
  bool hasTrack();

  bool shuffle_ = false;
  std::vector<std::string> tracks_;
  std::uint32_t trackIndex_ = 0;
};

}  // namespace tumbla
