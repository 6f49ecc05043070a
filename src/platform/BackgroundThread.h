#pragma once

#include <thread>
#include <utility>

namespace tumbla {

// The owner of a thread started with RunLoop::startBackground. Destroying it waits for the
// thread to end, so a program that quits while work runs waits for it unless its owner
// chose to detach() it. An owner whose thread waits on the main thread (a hand-off that
// blocks until the main thread has taken it) must not be destroyed on the main thread
// while that hand-off can still come: it detaches, or makes the hand-off stop waiting first.
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
  void detach() {
    if (thread_.joinable()) thread_.detach();
  }

 private:
  std::thread thread_;
};

}  // namespace tumbla
