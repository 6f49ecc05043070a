#pragma once

#include <optional>

#include "value/Date.h"

namespace tumbla {

// The prompts' sense of time: the run loop's clock, and periods counted in days (floats,
// as the settings hold them, widened to double before they become seconds).
namespace PromptClock {

Date now();
// True when at least `days` days have passed since `since`, or when there is no `since`.
bool periodHasPassed(std::optional<Date> since, float days);

}  // namespace PromptClock
}  // namespace tumbla
