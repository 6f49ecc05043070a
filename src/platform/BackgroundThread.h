#pragma once

#include <thread>
#include <utility>

namespace tumbla {

// The owner of a thread started with RunLoop::startBackground. Destroying it waits for the
// thread to end, so the thread's body must end soon once its owner wants it to (an owner
// stops what the body waits for first).
class BackgroundThread {
 public:
  BackgroundThread() = default;
  explicit BackgroundThread(std::thread thread) : thread_(std::move(thread)) {}
  BackgroundThread(BackgroundThread&&) noexcept = default;
  BackgroundThread& operator=(BackgroundThread&& other) noexcept {
    if (this != &other) {
      join();
      thread_ = std::move(other.thread_);
    }
    return *this;
  }
  ~BackgroundThread() { join(); }

  bool isRunning() const { return thread_.joinable(); }
  void join() {
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::thread thread_;
};

}  // namespace tumbla
