#include "platform/sim/SimStorage.h"

#include <fstream>

namespace tumbla {

Status SimPreferencesStore::save(const Dictionary& preferences) {
  if (image_->failSaves) return Failure{"the simulated storage refuses saves"};
  image_->stored = preferences;
  ++image_->saveCount;
  return {};
}

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

std::optional<std::string> SimBundle::pathForResource(std::string_view name,
                                                      std::string_view type) const {
  return resourceInDirectory(directory_, name, type);
}

std::string SimBundle::addResource(std::string_view fileName, std::string_view contents) {
  std::filesystem::path path = directory_ / std::string(fileName);
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

}  // namespace tumbla
