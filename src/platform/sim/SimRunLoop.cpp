#include "platform/sim/SimRunLoop.h"

#include <algorithm>

namespace tumbla {

void SimRunLoop::postToMain(std::function<void()> task) {
  tasks_.push_back(std::move(task));
}

BackgroundThread SimRunLoop::startBackground(std::function<void()> body) {
  // Background work runs on the test's thread when the test lets posted tasks run, which
  // keeps it deterministic; there is no thread to own.
  tasks_.push_back(std::move(body));
  return {};
}

void SimRunLoop::runPendingTasks() {
  while (!tasks_.empty()) {
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    task();
  }
}

Subscription SimRunLoop::scheduleTimerImpl(double seconds, bool repeats,
                                           std::function<bool()> fire) {
  unsigned long id = nextId_++;
  timers_->push_back(
      {now_.addingSeconds(seconds), seconds, repeats, nextOrder_++, id, std::move(fire)});
  // The timers' list, not the loop: a timer may be released after its loop.
  return Subscription([weakTimers = std::weak_ptr(timers_), id] {
    if (auto timers = weakTimers.lock()) {
      std::erase_if(*timers, [id](const PendingTimer& timer) { return timer.id == id; });
    }
  });
}

void SimRunLoop::advance(double seconds) {
  Date end = now_.addingSeconds(seconds);
  runPendingTasks();
  while (true) {
    auto next =
        std::min_element(timers_->begin(), timers_->end(), [](const auto& a, const auto& b) {
          return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    if (next == timers_->end() || next->due > end) break;
    PendingTimer timer = std::move(*next);
    timers_->erase(next);
    now_ = std::max(now_, timer.due);
    bool keep = timer.fire();
    if (keep && timer.repeats) {
      timer.due = now_.addingSeconds(timer.interval);
      timer.order = nextOrder_++;
      timers_->push_back(std::move(timer));
    }
    runPendingTasks();
  }
  now_ = end;
}

}  // namespace tumbla
