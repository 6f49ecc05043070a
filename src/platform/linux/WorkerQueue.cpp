#include "platform/linux/WorkerQueue.h"

#include <utility>

namespace tumbla {

WorkerQueue::~WorkerQueue() {
  closed_->store(true);
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    dropped.swap(jobs_);
    if (running_) running_->store(true);
  }
  wake_.notify_all();
  thread_.join();
  // Dropped here, on the main thread, where what a job's work holds was made.
}

Subscription WorkerQueue::run(Work work) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({std::move(work), cancelled});
  }
  wake_.notify_one();
  // A thread of its own whatever the run loop: a simulated loop runs background work on
  // the main thread, where `serve` would wait for ever.
  if (!thread_.isRunning()) thread_ = BackgroundThread(std::thread([this] { serve(); }));
  return Subscription([cancelled] { cancelled->store(true); });
}

void WorkerQueue::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    // A job cancelled while it waited never starts; what it holds goes with it here.
    if (job.cancelled->load()) continue;
    running_ = job.cancelled;
    lock.unlock();
    Answer answer = job.work(*job.cancelled);
    lock.lock();
    running_.reset();
    // Posted under the lock: the destructor, which takes it first, either sees this job
    // still running or finds its answer already with the run loop, where `closed_` stops it.
    if (answer && !job.cancelled->load()) {
      runLoop_.postToMain(
          [answer = std::move(answer), cancelled = std::move(job.cancelled), closed = closed_] {
            if (!cancelled->load() && !closed->load()) answer();
          });
    }
  }
}

}  // namespace tumbla
