#include "platform/linux/HostDispatcher.h"

#include <cassert>

namespace tumbla {

HostDispatcher::~HostDispatcher() {
  if (drainSource_ != 0) g_source_remove(drainSource_);
}

HostDispatcher::Busy::Busy(HostDispatcher& dispatcher, bool scriptCall)
    : dispatcher_(dispatcher), scriptCall_(scriptCall) {
  dispatcher_.enter(scriptCall_);
}

HostDispatcher::Busy::~Busy() {
  dispatcher_.leave(scriptCall_);
}

HostDispatcher::Activity HostDispatcher::activity() const {
  if (scriptCallsWaiting_ > 0) return Activity::ScriptCall;
  return depth_ > 0 ? Activity::Host : Activity::Idle;
}

void HostDispatcher::enter(bool scriptCall) {
  // Whatever the nested iteration of a waiting script call dispatches must have been held:
  // reaching here then means host code was entered past the dispatcher.
  assert(scriptCallsWaiting_ == 0 && "host code entered while a script call is waiting");
  Activity before = activity();
  ++depth_;
  if (scriptCall) ++scriptCallsWaiting_;
  if (watcher_ && activity() != before) watcher_(activity());
}

void HostDispatcher::leave(bool scriptCall) {
  Activity before = activity();
  if (scriptCall) --scriptCallsWaiting_;
  --depth_;
  if (watcher_ && activity() != before) watcher_(activity());
  if (depth_ == 0) scheduleDrain();
}

HostDispatcher::Busy HostDispatcher::enterHost() {
  return Busy(*this, false);
}

HostDispatcher::Busy HostDispatcher::waitForScript() {
  return Busy(*this, true);
}

void HostDispatcher::dispatch(std::function<void()> task) {
  if (depth_ == 0 && held_.empty()) {
    Busy running(*this, false);
    task();
    return;
  }
  held_.push_back(std::move(task));
  if (depth_ == 0) scheduleDrain();
}

void HostDispatcher::post(std::function<void()> task) {
  held_.push_back(std::move(task));
  if (depth_ == 0) scheduleDrain();
}

void HostDispatcher::scheduleDrain() {
  if (drainSource_ != 0 || held_.empty()) return;
  // Default priority, so that held commands are not starved by redraws.
  drainSource_ = g_idle_add_full(G_PRIORITY_DEFAULT, drain, this, nullptr);
}

gboolean HostDispatcher::drain(gpointer self) {
  auto& dispatcher = *static_cast<HostDispatcher*>(self);
  // A nested iteration inside other host work can dispatch this source too; the work's end
  // schedules it again.
  while (dispatcher.depth_ == 0 && !dispatcher.held_.empty()) {
    std::function<void()> task = std::move(dispatcher.held_.front());
    dispatcher.held_.pop_front();
    Busy running(dispatcher, false);
    task();
  }
  dispatcher.drainSource_ = 0;
  return G_SOURCE_REMOVE;
}

}  // namespace tumbla
