#pragma once

#include "value/Value.h"

namespace tumbla {

// Which of the host's own features a game wants over its page. The bundled game wants them
// all; a game of another author may want none, and a feature not wanted never shows.
struct HostFeatures {
  // The camera button and the share panel, including the panel's own openings.
  bool sharing = true;
  // The upgrade offer on some activations.
  bool upgrade = true;
  // The promotion button and the review request, both steered by the configuration page.
  bool promotion = true;
  // The rating, version and notice prompts, with their remote checks.
  bool prompts = true;

  // From the bundle's "TumblaHostFeatures": absent means every feature; an array names the
  // wanted ones. An unknown name, or a value of another type, is logged and ignored.
  static HostFeatures fromInfoValue(const Value* value);
  static HostFeatures none() { return {false, false, false, false}; }

  bool operator==(const HostFeatures&) const = default;
};

}  // namespace tumbla
