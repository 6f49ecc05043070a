#include "platform/UserDefaults.h"

#include <utility>

#include "platform/Log.h"

namespace tumbla {

UserDefaults::UserDefaults(std::unique_ptr<PreferencesStore> store)
    : store_(std::move(store)), values_(store_->load()) {}

void UserDefaults::registerDefaults(const Dictionary& defaults) {
  for (const auto& [key, value] : defaults) registered_.set(key, value);
}

const Value* UserDefaults::objectForKey(std::string_view key) const {
  if (const Value* value = values_.find(key)) return value;
  return registered_.find(key);
}

bool UserDefaults::boolForKey(std::string_view key) const {
  const Value* value = objectForKey(key);
  return value ? value->toBoolean().value_or(false) : false;
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
  const Value* value = objectForKey(key);
  return value ? value->toInteger().value_or(0) : 0;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  const Value* value = objectForKey(key);
  if (!value) return std::nullopt;
  if (auto text = value->stringIf()) return std::string(*text);
  if (const auto* decimal = value->decimalIf()) return decimal->text();
  if (const auto* integer = value->integerIf()) return std::to_string(*integer);
  return std::nullopt;
}

const Array* UserDefaults::arrayForKey(std::string_view key) const {
  const Value* value = objectForKey(key);
  return value ? value->arrayIf() : nullptr;
}

std::optional<Date> UserDefaults::dateForKey(std::string_view key) const {
  const Value* value = objectForKey(key);
  if (value && value->dateIf()) return *value->dateIf();
  return std::nullopt;
}

void UserDefaults::setObject(std::string_view key, Value value) {
  changed_.emplace(key);
  values_.set(key, std::move(value));
}

void UserDefaults::removeObject(std::string_view key) {
  // Removed here even when only the store has it, so that the store loses it too.
  values_.erase(key);
  changed_.emplace(key);
}

Status UserDefaults::synchronize() {
  Dictionary current = store_->load();
  for (const std::string& key : changed_) {
    if (const Value* mine = values_.find(key)) {
      current.set(key, *mine);
    } else {
      current.erase(key);
    }
  }
  values_ = std::move(current);
  if (changed_.empty()) return {};
  Status saved = store_->save(values_);
  if (saved) {
    changed_.clear();
    return saved;
  }
  // A failure without the system's reason is told apart by its words.
  std::string reason = saved.code() != 0 ? "error " + std::to_string(saved.code()) : saved.reason();
  if (failuresSaid_.insert(std::move(reason)).second) logIfFailed(saved, "write the settings");
  return saved;
}

}  // namespace tumbla
