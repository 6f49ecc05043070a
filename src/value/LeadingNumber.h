#pragma once

#include <cstdint>
#include <string_view>

namespace tumbla {

// The leading number of a text, as the platform's string-to-number conversions read it:
// ASCII white space skipped, an optional sign, then as much of a number as there is, the
// rest ignored; 0 when there is none. The decimal point is always ".", whatever the
// process locale.

// A real: digits with an optional fraction and exponent ("inf" and "nan" too). Beyond the
// range it saturates to infinity, below it to zero.
double leadingReal(std::string_view text);

// An integer: digits up to the first other character, clamped to the range.
std::int64_t leadingInteger(std::string_view text);

// As `leadingInteger`, clamped to 32 bits, as the platform's `intValue` reads a text.
std::int32_t leadingInt32(std::string_view text);

}  // namespace tumbla
