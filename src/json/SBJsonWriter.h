#pragma once

#include <optional>
#include <string>

#include "json/SBJsonBase.h"
#include "value/Value.h"

namespace tumbla {

// Writes values as JSON text: compact by default, or one element or member per line
// indented by two spaces per level with " : " between key and value; keys in the
// dictionary's own order or sorted by their UTF-8 bytes (code point order).
//
// Decimal numbers are written as their exact text, other reals in the shortest form that
// reads back as the same double. What JSON cannot hold fails with an error rather than
// producing text that no reader accepts: data and dates, NaN and infinities, decimal
// text that is not a JSON number, strings that are not valid UTF-8. Nesting is handled
// with an explicit stack, so maxDepth 0 is safe on any value.
class SBJsonWriter : public SBJsonBase {
 public:
  bool humanReadable() const { return humanReadable_; }
  void setHumanReadable(bool humanReadable) { humanReadable_ = humanReadable; }
  bool sortKeys() const { return sortKeys_; }
  void setSortKeys(bool sortKeys) { sortKeys_ = sortKeys; }

  // Writes an array or a dictionary; any other value at the top level is refused.
  std::optional<std::string> stringWithObject(const Value& value);
  // Writes any value.
  std::optional<std::string> stringWithFragment(const Value& value);

 private:
  bool humanReadable_ = false;
  bool sortKeys_ = false;
};

}  // namespace tumbla
