#include "host/HostFeatures.h"

#include <string_view>
#include <utility>

#include "platform/Log.h"

namespace tumbla {

namespace {

constexpr std::string_view kKey = "TumblaHostFeatures";

}  // namespace

HostFeatures HostFeatures::fromInfoValue(const Value* value) {
  if (!value) return {};
  const Array* names = value->arrayIf();
  if (!names) {
    logLine("Info.plist: " + std::string(kKey) + " must be an array of names; it is ignored");
    return {};
  }
  static constexpr std::pair<std::string_view, bool HostFeatures::*> kNames[] = {
      {"sharing", &HostFeatures::sharing},
      {"upgrade", &HostFeatures::upgrade},
      {"promotion", &HostFeatures::promotion},
      {"prompts", &HostFeatures::prompts},
  };
  HostFeatures wanted = none();
  for (const Value& item : *names) {
    std::optional<std::string_view> name = item.stringIf();
    bool known = false;
    for (const auto& [featureName, member] : kNames) {
      if (name && *name == featureName) {
        wanted.*member = true;
        known = true;
      }
    }
    if (!known) {
      logLine("Info.plist: " + std::string(kKey) + " names an unknown feature " +
              std::string(name.value_or("(not a string)")) + "; it is ignored");
    }
  }
  return wanted;
}

}  // namespace tumbla
