#include "prompts/PromptStore.h"

#include "platform/Platform.h"

namespace tumbla::PromptStore {

std::optional<std::string> string(std::string_view key) {
  return Platform::shared().userDefaults().stringForKey(key);
}

std::optional<Date> date(std::string_view key) {
  return Platform::shared().userDefaults().dateForKey(key);
}

std::uint32_t count(std::string_view key) {
  return static_cast<std::uint32_t>(Platform::shared().userDefaults().integerForKey(key));
}

void set(std::string_view key, std::optional<Value> value, bool synchronizeNow) {
  UserDefaults& defaults = Platform::shared().userDefaults();
  if (value) {
    defaults.setObject(std::string(key), std::move(*value));
  } else {
    defaults.removeObject(key);
  }
  if (synchronizeNow) synchronize();
}

void setDate(std::string_view key, std::optional<Date> date, bool synchronizeNow) {
  set(key, date ? std::optional<Value>(Value(*date)) : std::nullopt, synchronizeNow);
}

void setString(std::string_view key, const std::optional<std::string>& text, bool synchronizeNow) {
  set(key, text ? std::optional<Value>(Value(*text)) : std::nullopt, synchronizeNow);
}

void synchronize() {
  // A failure is logged by the defaults; the state stays in memory for the next write.
  (void)Platform::shared().userDefaults().synchronize();
}

}  // namespace tumbla::PromptStore
