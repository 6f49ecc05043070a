#include "audio/Shuffle.h"

#include <cstdlib>
#include <random>

namespace tumbla {

void seedShuffle() {
  std::srand(std::random_device()());
}

int shuffleCompare() {
  // Half of glibc's range 0 .. 2^31 - 1.
  constexpr int kHalfRange = 1 << 30;
  return std::rand() < kHalfRange ? 1 : -1;
}

}  // namespace tumbla
