#pragma once

#include <optional>
#include <string>

#include "platform/Error.h"

namespace tumbla {

// What the version prompts ask and tell their delegate. Every operation is optional: a
// delegate announces the ones it has through `respondsTo`; a question it lacks counts as
// answered true.
class iVersionDelegate {
 public:
  enum class Optional {
    ShouldCheckForNewVersion,
    VersionCheckFailed,
    DetectedNewVersion,
    ShouldDisplayNewVersion,
    ShouldDisplayCurrentVersionDetails
  };

  virtual ~iVersionDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  virtual bool iVersionShouldCheckForNewVersion() { return true; }
  // `error` is nothing when the reason is not known.
  virtual void iVersionVersionCheckFailed(const std::optional<Error>& /*error*/) {}
  virtual void iVersionDetectedNewVersion(const std::string& /*version*/,
                                          const std::string& /*details*/) {}
  virtual bool iVersionShouldDisplayNewVersion(const std::string& /*version*/,
                                               const std::string& /*details*/) {
    return true;
  }
  virtual bool iVersionShouldDisplayCurrentVersionDetails(const std::string& /*details*/) {
    return true;
  }
};

}  // namespace tumbla
