#pragma once

#include "platform/Bundle.h"

namespace tumbla {

// Property lists through libplist: XML and binary in, XML out.
//
// Nesting deeper than kMaxDepth is refused rather than followed, so that a hostile file
// cannot exhaust the stack. Integers are 64-bit signed. Nulls have no property-list form:
// they are left out of arrays and dictionaries, and a null on its own serializes to an
// empty string. Exact decimal numbers are written as integers when they are whole and
// fit, otherwise as reals. Dates keep whole seconds in the XML form, as that format does.
class LibplistPropertyLists : public PropertyLists {
 public:
  static constexpr int kMaxDepth = 512;

  std::optional<Value> parse(std::string_view bytes) const override;
  std::string serialize(const Value& value) const override;
};

}  // namespace tumbla
