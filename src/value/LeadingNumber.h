#pragma once

#include <cstdint>
#include <string_view>

namespace tumbla {

// A text's leading number, read as the platform's string-to-number conversions read it
// (`intValue`, `integerValue`, `doubleValue`): ASCII white space skipped, an optional
// sign, then as much of a number as there is; 0 when there is none. The reading never
// depends on the process's locale: the decimal point is always ".".

// Decimal digits up to the first other character, clamped to 64 bits.
std::int64_t leadingInteger(std::string_view text);
// The same, clamped to 32 bits.
std::int32_t leadingInt32(std::string_view text);
// A decimal number with an optional fraction and exponent ("1.5e3"), or "inf"/"nan".
// Beyond the range it saturates to infinity, below it to zero.
double leadingReal(std::string_view text);

}  // namespace tumbla
