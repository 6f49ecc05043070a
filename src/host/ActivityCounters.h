#pragma once

#include <cstdint>

namespace tumbla {

// How often the application became active ("yongHu31.plist", 1 on a fresh installation)
// and how many snapshots the player uploaded ("facebook2.plist"), kept in counter files in
// the documents directory.
class ActivityCounters {
 public:
  // Takes both counts from their files; a file that is missing or empty is made with the
  // count in memory, and one that can't be read is left for the next write. A file that
  // can't be written is logged as what it is, a counter: the game's progress is not in it.
  void read();
  void write();

  std::int32_t activations() const { return activations_; }
  void countActivation() { ++activations_; }
  std::int32_t uploads() const { return uploads_; }
  // The sharing panel counts its uploads here.
  std::int32_t& uploadCounter() { return uploads_; }

 private:
  std::int32_t activations_ = 1;
  std::int32_t uploads_ = 0;
};

}  // namespace tumbla
