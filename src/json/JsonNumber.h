#pragma once

namespace tumbla {

// The strict JSON number grammar (no "+", no leading zeros, digits required after "-",
// "." and the exponent mark), plus the range of the decimal type numbers are held as:
// at most 38 significant digits, and a value between 1e-128 and about 1e166 in
// magnitude. Numbers keep their exact text, so within that range nothing is rounded.
struct JsonNumberScan {
  const char* end;    // just past the number, or where it went wrong
  const char* error;  // the reason it is not a number; null when it is one
};

// Scans the number that starts at `p` (a "-" or a digit).
JsonNumberScan scanJsonNumber(const char* p, const char* end);

// Whether the whole text is one number by the rules above.
bool isJsonNumber(const char* begin, const char* end);

}  // namespace tumbla
