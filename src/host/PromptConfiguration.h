#pragma once

#include "bridge/URLDispatcher.h"
#include "host/DeploymentSettings.h"

namespace tumbla {

// Sets up the three engagement prompts for this game: at start-up, before the launch,
// their settings; at launch, the page bridge as their delegate; at the end, their
// shutdown (a check still in flight is dropped, never waited for long).
namespace PromptConfiguration {

void configure(const DeploymentSettings& settings);
void setDelegate(URLDispatcher& dispatcher);
void tearDown();

}  // namespace PromptConfiguration
}  // namespace tumbla
