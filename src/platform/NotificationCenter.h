#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Subscription.h"
#include "value/Value.h"

namespace tumbla {

struct Notification {
  std::string name;
  const void* sender = nullptr;
  Dictionary userInfo;
};

// Synchronous, in-process notifications. Adding an observer answers the subscription that
// owns the registration: it ends when the subscription is destroyed or cancelled, and a
// registration ended during a post is not called afterwards.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  NotificationCenter();

  // Calls `handler` for every post of `name` by `sender`, or by anyone when `sender` is
  // null, until the answered subscription ends.
  Subscription addObserver(std::string name, const void* sender, Handler handler);

  void post(std::string name, const void* sender = nullptr, Dictionary userInfo = {});

 private:
  struct Registration {
    unsigned long id;
    std::string name;
    const void* sender;
    Handler handler;
  };
  // Shared with the subscriptions, so that one which outlives the center ends harmlessly.
  struct Registry {
    std::vector<Registration> registrations;
    unsigned long nextId = 1;
  };

  std::shared_ptr<Registry> registry_;
};

}  // namespace tumbla
