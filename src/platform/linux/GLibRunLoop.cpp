#include "platform/linux/GLibRunLoop.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <utility>

namespace tumbla {

// One scheduled timer. A repeating timer that comes due while the host is busy fires once
// afterwards, however many periods passed: ticks coalesce, as they do on a run loop that
// was busy.
struct GLibRunLoop::TimerSource {
  HostDispatcher& dispatcher;
  std::function<bool()> fire;
  bool repeats = false;
  bool firePending = false;
  bool finished = false;
  guint sourceId = 0;

  void stop() {
    finished = true;
    if (sourceId != 0) g_source_remove(sourceId);
    sourceId = 0;
  }
};

// Tasks handed over from any thread, oldest first, and the idle source that runs them.
// They pass through this queue, made on the main thread, rather than through anything the
// posting thread makes for the source, so that the hand-over is ordered by a lock thread
// checkers can see (GLib's own locking is invisible to them). The loop destroys the source
// when it goes.
struct GLibRunLoop::Mailbox {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  HostDispatcher& dispatcher;
  GSource* wakeUp = nullptr;
  // Set as the loop goes: what its dropped tasks hand over as they go is dropped too.
  bool closed = false;

  explicit Mailbox(HostDispatcher& dispatcher) : dispatcher(dispatcher) {}

  // With the mutex held.
  void releaseWakeUp() {
    if (wakeUp) g_source_unref(std::exchange(wakeUp, nullptr));
  }
};

GLibRunLoop::GLibRunLoop(HostDispatcher& dispatcher)
    : dispatcher_(dispatcher),
      mainThread_(std::this_thread::get_id()),
      mailbox_(std::make_unique<Mailbox>(dispatcher)) {}

GLibRunLoop::~GLibRunLoop() {
  for (const std::weak_ptr<TimerSource>& scheduled : timers_) {
    if (auto timer = scheduled.lock()) timer->stop();
  }
  // Dropped outside the lock: what a task holds may hand over again as it goes.
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(mailbox_->mutex);
  mailbox_->closed = true;
  dropped.swap(mailbox_->tasks);
  if (mailbox_->wakeUp) g_source_destroy(mailbox_->wakeUp);
  mailbox_->releaseWakeUp();
}

Date GLibRunLoop::now() const {
  return Date{static_cast<double>(g_get_real_time()) / G_USEC_PER_SEC};
}

double GLibRunLoop::uptime() const {
  return static_cast<double>(g_get_monotonic_time()) / G_USEC_PER_SEC;
}

Subscription GLibRunLoop::scheduleTimerImpl(double seconds, bool repeats,
                                            std::function<bool()> fire) {
  auto timer = std::make_shared<TimerSource>(TimerSource{dispatcher_, std::move(fire), repeats});
  auto onDue = [](gpointer data) -> gboolean {
    std::shared_ptr<TimerSource> due = *static_cast<std::shared_ptr<TimerSource>*>(data);
    if (!due->firePending) {
      due->firePending = true;
      due->dispatcher.dispatch([due] {
        due->firePending = false;
        if (due->finished) return;
        if (!due->fire() || !due->repeats) due->stop();
      });
    }
    if (due->repeats && !due->finished) return G_SOURCE_CONTINUE;
    // A one-shot timer's source ends here; its (possibly held) firing is all that remains.
    due->sourceId = 0;
    return G_SOURCE_REMOVE;
  };
  auto milliseconds = static_cast<guint>(std::llround(std::max(seconds, 0.0) * 1000.0));
  auto release = [](gpointer data) { delete static_cast<std::shared_ptr<TimerSource>*>(data); };
  timer->sourceId = g_timeout_add_full(G_PRIORITY_DEFAULT, milliseconds, onDue,
                                       new std::shared_ptr<TimerSource>(timer), release);
  std::erase_if(timers_, [](const std::weak_ptr<TimerSource>& held) { return held.expired(); });
  timers_.push_back(timer);
  return Subscription([weakTimer = std::weak_ptr(timer)] {
    if (auto scheduled = weakTimer.lock()) scheduled->stop();
  });
}

void GLibRunLoop::postToMain(std::function<void()> task) {
  std::lock_guard lock(mailbox_->mutex);
  if (mailbox_->closed) return;
  mailbox_->tasks.push_back(std::move(task));
  if (mailbox_->wakeUp) return;
  // One task per dispatch, in order: a task that waits for a script lets the loop turn, and
  // what is handed over meanwhile must queue behind the tasks still here.
  auto runNext = [](gpointer data) -> gboolean {
    Mailbox& mailbox = *static_cast<Mailbox*>(data);
    std::function<void()> task;
    bool more = false;
    {
      std::lock_guard taken(mailbox.mutex);
      if (mailbox.tasks.empty()) {
        mailbox.releaseWakeUp();
        return G_SOURCE_REMOVE;
      }
      task = std::move(mailbox.tasks.front());
      mailbox.tasks.pop_front();
      more = !mailbox.tasks.empty();
      // A task handed over from now on attaches a source of its own.
      if (!more) mailbox.releaseWakeUp();
    }
    mailbox.dispatcher.dispatch(std::move(task));
    return more ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  };
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, runNext, mailbox_.get(), nullptr);
  mailbox_->wakeUp = source;
  g_source_attach(source, g_main_context_default());
}

BackgroundThread GLibRunLoop::startBackground(std::function<void()> body) {
  return BackgroundThread(std::thread(std::move(body)));
}

}  // namespace tumbla
