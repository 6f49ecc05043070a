#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "platform/Result.h"
#include "value/Value.h"

namespace tumbla {

// Where the preferences live between runs.
class PreferencesStore {
 public:
  virtual ~PreferencesStore() = default;
  // The stored preferences; an empty dictionary when there are none yet. A store that
  // finds its file unreadable keeps the file aside and answers empty.
  virtual Dictionary load() = 0;
  // Writes the whole dictionary; fails when it did not reach storage.
  virtual Status save(const Dictionary& preferences) = 0;
};

// Typed preferences with registered fallbacks. Values set here are kept in memory until
// `synchronize` writes them; a key without a set or registered value reads as false, 0
// or nothing. The store may be changed from outside while the game runs (another tool,
// the player's editor): `synchronize` takes those changes in and never writes over them.
class UserDefaults {
 public:
  explicit UserDefaults(std::unique_ptr<PreferencesStore> store);

  // Fallback values for keys that have none of their own; merged into earlier ones.
  void registerDefaults(const Dictionary& defaults);

  const Value* objectForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;
  std::int64_t integerForKey(std::string_view key) const;
  // Typed reads answer nothing when the key is absent or holds another kind of value (a
  // number still reads as its text).
  std::optional<std::string> stringForKey(std::string_view key) const;
  const Array* arrayForKey(std::string_view key) const;
  std::optional<Date> dateForKey(std::string_view key) const;

  void setObject(std::string_view key, Value value);
  void setBool(std::string_view key, bool value) { setObject(key, Value::boolean(value)); }
  void setInteger(std::string_view key, std::int64_t value) {
    setObject(key, Value::integer(value));
  }
  void removeObject(std::string_view key);

  // Reads the store again, keeps the keys set or removed here since the last
  // synchronize over what it holds, and writes the result back when there were such
  // keys. Fails when storage is not up to date; after a failed write the changes are
  // kept for the next try. A write that fails is logged here, once for each reason (the
  // system's error code) in a run: the game and its prompts write often, and a file that
  // can't take them would otherwise fill the log with the same line.
  Status synchronize();

 private:
  std::unique_ptr<PreferencesStore> store_;
  Dictionary values_;
  Dictionary registered_;
  // Keys set or removed in this process since the last synchronize that reached storage.
  std::set<std::string, std::less<>> changed_;
  // The reasons a write failed for that were logged already.
  std::set<std::string> failuresSaid_;
};

}  // namespace tumbla
