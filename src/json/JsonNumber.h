#pragma once

namespace tumbla {

// The strict JSON number grammar (no "+", no leading zeros, digits required after "-",
// "." and the exponent mark), plus a range: at most 38 significant digits (the precision
// of the decimal type numbers are held as) and a magnitude that a double can approximate
// without overflowing or underflowing to zero. Numbers keep their exact text.
struct JsonNumberScan {
  const char* end;    // just past the number, or where it went wrong
  const char* error;  // the reason it is not a number; null when it is one
};

// Scans the number that starts at `p` (a "-" or a digit).
JsonNumberScan scanJsonNumber(const char* p, const char* end);

// Whether the whole text is one number by the rules above.
bool isJsonNumber(const char* begin, const char* end);

}  // namespace tumbla
