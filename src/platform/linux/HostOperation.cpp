#include "platform/linux/HostOperation.h"

#include <glib.h>

#include <deque>

namespace tumbla {

namespace {

struct HeldWork {
  int depth = 0;
  std::deque<std::function<void()>> tasks;
  guint drainSource = 0;
};

HeldWork& held() {
  static HeldWork work;
  return work;
}

gboolean drainHeldWork(gpointer) {
  HeldWork& work = held();
  // A nested iteration inside another operation can dispatch this source too; the
  // operation's end schedules it again.
  while (work.depth == 0 && !work.tasks.empty()) {
    std::function<void()> task = std::move(work.tasks.front());
    work.tasks.pop_front();
    HostOperation operation;
    task();
  }
  work.drainSource = 0;
  return G_SOURCE_REMOVE;
}

void scheduleDrain() {
  HeldWork& work = held();
  if (work.drainSource != 0 || work.tasks.empty()) return;
  // Default priority, so that held commands are not starved by redraws.
  work.drainSource = g_idle_add_full(G_PRIORITY_DEFAULT, drainHeldWork, nullptr, nullptr);
}

}  // namespace

HostOperation::HostOperation() {
  ++held().depth;
}

HostOperation::~HostOperation() {
  if (--held().depth == 0) scheduleDrain();
}

bool HostOperation::inProgress() {
  return held().depth > 0;
}

void HostOperation::run(std::function<void()> task) {
  HeldWork& work = held();
  if (work.depth == 0 && work.tasks.empty()) {
    HostOperation operation;
    task();
    return;
  }
  work.tasks.push_back(std::move(task));
  if (work.depth == 0) scheduleDrain();
}

}  // namespace tumbla
