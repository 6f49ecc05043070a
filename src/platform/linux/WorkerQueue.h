#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/RunLoop.h"
#include "platform/Subscription.h"

namespace tumbla {

// Work too long for the main loop (encoding an image, decoding a sound), done one job after
// another on a thread of its own that starts with the first job. A job's work runs on that
// thread and answers what to do with its result; the answer runs on the main thread,
// through the run loop, unless the job was cancelled by then.
//
// Main thread only, apart from the work itself. A cancelled job's work and answer may be
// dropped on the worker: they hold data and weak references, nothing that must end on the
// main thread. Destroying the queue cancels every job:
// those not started never start, the running one sees `cancelled` turn true and should
// give up soon, and the thread is joined before the destructor returns.
class WorkerQueue {
 public:
  using Answer = std::function<void()>;
  using Work = std::function<Answer(const std::atomic<bool>& cancelled)>;

  explicit WorkerQueue(RunLoop& runLoop) : runLoop_(runLoop) {}
  ~WorkerQueue();
  WorkerQueue(const WorkerQueue&) = delete;
  WorkerQueue& operator=(const WorkerQueue&) = delete;

  // Queues `work`. Ending the answered subscription cancels the job as the queue's end does.
  Subscription run(Work work);

 private:
  using Flag = std::shared_ptr<std::atomic<bool>>;
  struct Job {
    Work work;
    Flag cancelled;
  };

  void serve();

  RunLoop& runLoop_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Job> jobs_;
  // The job whose work runs now.
  Flag running_;
  bool stopping_ = false;
  // Set as the queue goes: answers already handed to the run loop then do nothing.
  Flag closed_ = std::make_shared<std::atomic<bool>>(false);
  // Last, so that it is joined before what its thread uses goes.
  BackgroundThread thread_;
};

}  // namespace tumbla
