#pragma once

#include <string_view>

namespace tumbla {

// Orders two texts the way a numeric string search does: runs of digits compare by their
// value ("4.10" after "4.9"), everything else character by character. Negative, zero or
// positive as `a` comes before, with or after `b`.
int compareNumerically(std::string_view a, std::string_view b);

}  // namespace tumbla
