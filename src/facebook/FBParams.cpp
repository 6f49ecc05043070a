#include "facebook/FBParams.h"

#include <algorithm>

namespace tumbla {

FBParams::FBParams(std::initializer_list<Entry> entries) {
  for (const Entry& entry : entries) set(entry.first, entry.second);
}

void FBParams::set(std::string_view key, Value value) {
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& entry) { return entry.first == key; });
  if (found != entries_.end()) {
    found->second = std::move(value);
  } else {
    entries_.emplace_back(std::string(key), std::move(value));
  }
}

const FBParams::Value* FBParams::find(std::string_view key) const {
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [&](const Entry& entry) { return entry.first == key; });
  return found != entries_.end() ? &found->second : nullptr;
}

const std::string* FBParams::findString(std::string_view key) const {
  const Value* value = find(key);
  return value != nullptr ? std::get_if<std::string>(value) : nullptr;
}

bool FBParams::erase(std::string_view key) {
  return std::erase_if(entries_, [&](const Entry& entry) { return entry.first == key; }) > 0;
}

}  // namespace tumbla
