#include "prompts/PromptClock.h"

#include "platform/Platform.h"

namespace tumbla::PromptClock {

namespace {
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

Date now() {
  return Platform::shared().runLoop().now();
}

bool periodHasPassed(std::optional<Date> since, float days) {
  return !since || now().secondsSince(*since) >= static_cast<double>(days) * kSecondsPerDay;
}

}  // namespace tumbla::PromptClock
