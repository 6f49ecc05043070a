#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "value/Date.h"
#include "value/Value.h"

namespace tumbla {

// The prompt components' persisted state: typed values in the user defaults under the
// component's prefixed keys. Every write reaches storage at once unless it says otherwise,
// and writing nothing removes the key.
namespace PromptStore {

std::optional<std::string> string(std::string_view key);
std::optional<Date> date(std::string_view key);
// A stored integer read as an unsigned 32-bit count; absent reads 0.
std::uint32_t count(std::string_view key);

void set(std::string_view key, std::optional<Value> value, bool synchronize = true);
void setDate(std::string_view key, std::optional<Date> date, bool synchronize = true);
void setString(std::string_view key, const std::optional<std::string>& text,
               bool synchronize = true);
void synchronize();

}  // namespace PromptStore
}  // namespace tumbla
