#include "platform/linux/GLibRunLoop.h"

#include <glib.h>

#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/linux/HostOperation.h"

namespace tumbla {

namespace {

// One scheduled timer. A repeating timer that comes due while a host operation is in
// progress fires once afterwards, however many periods passed: ticks coalesce, as they
// do on a run loop that was busy.
struct TimerSource {
  std::function<bool()> fire;
  bool repeats = false;
  bool firePending = false;
  bool finished = false;
  guint sourceId = 0;
};

void fireTimer(const std::shared_ptr<TimerSource>& timer) {
  timer->firePending = false;
  if (timer->finished) return;
  bool again = timer->fire();
  if (!timer->repeats || !again) {
    timer->finished = true;
    if (timer->sourceId != 0) g_source_remove(timer->sourceId);
    timer->sourceId = 0;
  }
}

gboolean onTimerDue(gpointer data) {
  auto timer = *static_cast<std::shared_ptr<TimerSource>*>(data);
  if (!timer->firePending) {
    timer->firePending = true;
    HostOperation::run([timer] { fireTimer(timer); });
  }
  if (timer->repeats && !timer->finished) return G_SOURCE_CONTINUE;
  // A one-shot timer's source ends here; its (possibly held) firing is all that remains.
  timer->sourceId = 0;
  return G_SOURCE_REMOVE;
}

void releaseTimer(gpointer data) {
  delete static_cast<std::shared_ptr<TimerSource>*>(data);
}

// A task handed over from another thread, and how its poster learns that it ran.
struct Handoff {
  std::function<void()> task;
  std::mutex mutex;
  std::condition_variable doneChanged;
  bool done = false;
};

// Hand-offs waiting for the main loop, oldest first. They pass through this queue rather
// than through the sources' data, so that the hand-over is ordered by a lock thread
// checkers can see (GLib's own locking is invisible to them).
struct PendingHandoffs {
  std::mutex mutex;
  std::deque<std::shared_ptr<Handoff>> queue;
};

PendingHandoffs& pendingHandoffs() {
  static PendingHandoffs pending;
  return pending;
}

gboolean runHandoff(gpointer) {
  std::shared_ptr<Handoff> handoff;
  {
    PendingHandoffs& pending = pendingHandoffs();
    std::lock_guard lock(pending.mutex);
    if (pending.queue.empty()) return G_SOURCE_REMOVE;
    handoff = std::move(pending.queue.front());
    pending.queue.pop_front();
  }
  HostOperation::run([handoff] {
    handoff->task();
    std::lock_guard lock(handoff->mutex);
    handoff->done = true;
    handoff->doneChanged.notify_all();
  });
  return G_SOURCE_REMOVE;
}

std::shared_ptr<Handoff> makeHandoff(std::function<void()> task) {
  auto handoff = std::make_shared<Handoff>();
  handoff->task = std::move(task);
  return handoff;
}

void attachHandoff(std::shared_ptr<Handoff> handoff) {
  {
    PendingHandoffs& pending = pendingHandoffs();
    std::lock_guard lock(pending.mutex);
    pending.queue.push_back(std::move(handoff));
  }
  // g_main_context_invoke would run the task at once on the main thread; a task posted
  // without waiting must wait for the loop, so it always goes through an idle source.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, runHandoff, nullptr, nullptr);
  g_source_attach(source, g_main_context_default());
  g_source_unref(source);
}

}  // namespace

GLibRunLoop::GLibRunLoop() : mainThread_(std::this_thread::get_id()) {}

Date GLibRunLoop::now() const {
  return Date{static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC};
}

void GLibRunLoop::scheduleTimerImpl(double seconds, bool repeats, std::function<bool()> fire) {
  auto timer = std::make_shared<TimerSource>();
  timer->fire = std::move(fire);
  timer->repeats = repeats;
  auto milliseconds = static_cast<guint>(std::llround(std::max(seconds, 0.0) * 1000.0));
  timer->sourceId = g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, onTimerDue,
                                       new std::shared_ptr<TimerSource>(timer), releaseTimer);
}

void GLibRunLoop::postToMain(std::function<void()> task, bool waitUntilDone) {
  if (isMainThread() && waitUntilDone) {
    task();
    return;
  }
  auto handoff = makeHandoff(std::move(task));
  attachHandoff(handoff);
  if (!waitUntilDone) return;
  std::unique_lock lock(handoff->mutex);
  handoff->doneChanged.wait(lock, [&] { return handoff->done; });
}

void GLibRunLoop::post(std::function<void()> task) {
  auto handoff = makeHandoff(std::move(task));
  attachHandoff(handoff);
}

BackgroundThread GLibRunLoop::startBackground(std::function<void()> body) {
  return BackgroundThread(std::thread(std::move(body)));
}

}  // namespace tumbla
