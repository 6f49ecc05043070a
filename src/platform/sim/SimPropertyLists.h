#pragma once

#include <map>
#include <optional>
#include <string>

#include "platform/Bundle.h"

namespace tumbla {

// Property lists by table: the test says which bytes stand for which value.
class SimPropertyLists : public PropertyLists {
 public:
  std::optional<Value> parse(std::string_view bytes) const override;
  std::string serialize(const Value& value) const override;

  // Answers bytes that `parse` turns into `value`.
  std::string bytesFor(Value value);

 private:
  std::map<std::string, Value, std::less<>> table_;
};

}  // namespace tumbla
