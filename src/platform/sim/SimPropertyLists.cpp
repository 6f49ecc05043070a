#include "platform/sim/SimPropertyLists.h"

namespace tumbla {

std::optional<Value> SimPropertyLists::parse(std::string_view bytes) const {
  auto found = table_.find(bytes);
  if (found == table_.end()) return std::nullopt;
  return found->second;
}

std::string SimPropertyLists::serialize(const Value& value) const {
  for (const auto& [bytes, known] : table_) {
    if (known == value) return bytes;
  }
  return "sim-plist:unknown";
}

std::string SimPropertyLists::bytesFor(Value value) {
  std::string bytes = "sim-plist:" + std::to_string(table_.size());
  table_.emplace(bytes, std::move(value));
  return bytes;
}

}  // namespace tumbla
