#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

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
  // Hands the same text (of an array or a dictionary, or with `allowScalar` of any value)
  // to `sink` in pieces of about a megabyte as it is made, so that a large document's text
  // is never held whole. When it fails, what the sink got is incomplete.
  using TextSink = std::function<void(std::string_view)>;
  bool writeObject(const Value& value, bool allowScalar, const TextSink& sink);

 private:
  // Clears the trace and refuses a scalar at the top level unless it is allowed.
  bool startWriting(const Value& value, bool allowScalar);

  bool humanReadable_ = false;
  bool sortKeys_ = false;
};

}  // namespace tumbla
