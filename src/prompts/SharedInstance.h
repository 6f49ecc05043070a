#pragma once

#include <memory>

#include "platform/Platform.h"

namespace tumbla {

// The process-wide instance of a prompt component: made on first use, and made afresh
// once another platform has been installed (each test installs its own).
template <class Component>
class SharedInstance {
 public:
  static Component& get() {
    Holder& held = holder();
    if (!held.instance || held.generation != Platform::generation()) {
      held.instance.reset();
      held.generation = Platform::generation();
      held.instance = std::make_unique<Component>();
    }
    return *held.instance;
  }

  // The instance of the installed platform, if it has been made.
  static Component* existing() {
    Holder& held = holder();
    return held.generation == Platform::generation() ? held.instance.get() : nullptr;
  }

  static void reset() { holder().instance.reset(); }

 private:
  struct Holder {
    std::unique_ptr<Component> instance;
    unsigned long generation = 0;
  };
  static Holder& holder() {
    static Holder held;
    return held;
  }
};

// A string of the bundle's information dictionary; nothing when absent or not a string.
inline std::optional<std::string> infoDictionaryString(std::string_view key) {
  const Value* value = Platform::shared().bundle().objectForInfoDictionaryKey(key);
  if (!value || !value->stringIf()) return std::nullopt;
  return std::string(*value->stringIf());
}

}  // namespace tumbla
