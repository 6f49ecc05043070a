#include "platform/linux/DesktopLifecycle.h"

namespace tumbla {

using enum LifecycleEvent;

DesktopLifecycle::Events DesktopLifecycle::launched() {
  if (state_ != State::NotRunning) return {};
  state_ = State::Active;
  return {DidBecomeActive};
}

DesktopLifecycle::Events DesktopLifecycle::focusGained() {
  if (state_ != State::Inactive) return {};
  state_ = State::Active;
  return {DidBecomeActive};
}

DesktopLifecycle::Events DesktopLifecycle::focusLost() {
  if (state_ != State::Active) return {};
  state_ = State::Inactive;
  return {WillResignActive};
}

DesktopLifecycle::Events DesktopLifecycle::iconified() {
  Events events;
  if (state_ == State::Active) events.push_back(WillResignActive);
  if (state_ == State::Active || state_ == State::Inactive) {
    events.push_back(DidEnterBackground);
    state_ = State::Background;
  }
  return events;
}

DesktopLifecycle::Events DesktopLifecycle::restored() {
  if (state_ != State::Background) return {};
  state_ = State::Active;
  return {WillEnterForeground, DidBecomeActive};
}

DesktopLifecycle::Events DesktopLifecycle::closed() {
  if (state_ == State::NotRunning || state_ == State::Terminated) return {};
  Events events = iconified();
  events.push_back(WillTerminate);
  state_ = State::Terminated;
  return events;
}

}  // namespace tumbla
