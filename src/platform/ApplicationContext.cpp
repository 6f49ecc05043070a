#include "platform/ApplicationContext.h"

#include <cstdio>
#include <cstdlib>

namespace tumbla {

std::unique_ptr<ApplicationContext>& ApplicationContext::installed() {
  static std::unique_ptr<ApplicationContext> context;
  return context;
}

ApplicationContext& ApplicationContext::install(std::unique_ptr<Platform> platform) {
  uninstall();
  installed().reset(new ApplicationContext(std::move(platform)));
  return *installed();
}

void ApplicationContext::uninstall() {
  if (!installed()) return;
  // The shared instances go while their platform is still the current one, as their
  // destructors may stop sounds, checks and timers on it.
  installed()->destroySharedInstances();
  installed().reset();
}

ApplicationContext& ApplicationContext::current() {
  if (!installed()) {
    // A programming error, not a run-time condition: nothing can work without one.
    std::fputs("tumbla: no application context installed\n", stderr);
    std::abort();
  }
  return *installed();
}

ApplicationContext::ApplicationContext(std::unique_ptr<Platform> platform)
    : platform_(std::move(platform)) {}

ApplicationContext::~ApplicationContext() {
  destroySharedInstances();
}

void ApplicationContext::destroySharedInstances() {
  while (!instances_.empty()) {
    std::shared_ptr<void> object = std::move(instances_.back().object);
    instances_.pop_back();
    object.reset();
  }
}

}  // namespace tumbla
