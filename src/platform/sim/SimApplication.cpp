#include "platform/sim/SimApplication.h"

namespace tumbla {

bool SimApplication::openURLImpl(const Url& url) {
  opened_.push_back(url);
  return true;
}

int SimApplication::run(ApplicationDelegate& delegate) {
  delegate_ = &delegate;
  finishLaunching(delegate);
  return 0;
}

void SimApplication::send(LifecycleEvent event) {
  if (delegate_) deliver(*delegate_, event);
}

}  // namespace tumbla
