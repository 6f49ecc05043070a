#pragma once

#include "bridge/URLDispatcher.h"
#include "host/DeploymentSettings.h"

namespace tumbla {

// Sets up the three engagement prompts for this game: at start-up, before the launch,
// their settings; at launch, the page bridge as their delegate. They end with the
// application context (a check still in flight is dropped, never waited for long).
namespace PromptConfiguration {

void configure(const DeploymentSettings& settings);
void setDelegate(URLDispatcher& dispatcher);

}  // namespace PromptConfiguration
}  // namespace tumbla
