#pragma once

#include <compare>

namespace tumbla {

// A point in time with sub-second resolution, as seconds since the Unix epoch.
struct Date {
  double secondsSince1970 = 0.0;

  Date addingSeconds(double seconds) const { return Date{secondsSince1970 + seconds}; }
  double secondsSince(Date earlier) const { return secondsSince1970 - earlier.secondsSince1970; }

  auto operator<=>(const Date&) const = default;
};

}  // namespace tumbla
