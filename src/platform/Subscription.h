#pragma once

#include <functional>
#include <utility>

namespace tumbla {

// The owner of a registration (a notification observer, a connection, anything whose
// callback must stop when its user goes away). Destroying or cancelling it ends the
// registration; after that the callback never runs again. Moving hands the ownership on.
class [[nodiscard]] Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::function<void()> end) : end_(std::move(end)) {}
  Subscription(Subscription&& other) noexcept : end_(std::exchange(other.end_, nullptr)) {}
  Subscription& operator=(Subscription&& other) noexcept {
    if (this != &other) {
      cancel();
      end_ = std::exchange(other.end_, nullptr);
    }
    return *this;
  }
  Subscription(const Subscription&) = delete;
  Subscription& operator=(const Subscription&) = delete;
  ~Subscription() { cancel(); }

  void cancel() {
    if (auto end = std::exchange(end_, nullptr)) end();
  }
  bool isActive() const { return static_cast<bool>(end_); }

 private:
  std::function<void()> end_;
};

}  // namespace tumbla
