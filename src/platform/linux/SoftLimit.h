#pragma once

#include <cmath>

namespace tumbla {

// Voices summed above full scale would be cut off hard at the device, a harsh buzz. Levels
// above a knee are bent smoothly towards full scale instead, and everything below the knee
// passes unchanged, so a single voice or a quiet mix sounds exactly as it was made.
inline float softLimit(float sum) {
  constexpr float kKnee = 0.8f;
  float magnitude = std::abs(sum);
  if (!(magnitude > kKnee)) return sum;
  float over = (magnitude - kKnee) / (1.0f - kKnee);
  return std::copysign(kKnee + (1.0f - kKnee) * std::tanh(over), sum);
}

}  // namespace tumbla
