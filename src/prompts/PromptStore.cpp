#include "prompts/PromptStore.h"

#include "platform/ApplicationContext.h"
#include "platform/Log.h"
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
  if (Platform::shared().userDefaults().synchronize()) return;
  // The prompts write often; a file that can't take their state is said once per run.
  if (!ApplicationContext::current().firstTime("prompts' state not written")) return;
  logLine("the prompts' state could not be written to the preferences file");
}

}  // namespace tumbla::PromptStore
