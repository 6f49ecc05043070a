#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Value.h"

namespace tumbla {

struct Notification {
  std::string name;
  const void* sender = nullptr;
  Dictionary userInfo;
};

// Synchronous, in-process notifications. Observers are identified by an address (their
// `this`); removing an observer drops all its subscriptions, and a subscription removed
// during a post is not called afterwards.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  // Calls `handler` for every post of `name` by `sender`, or by anyone when `sender` is null.
  void addObserver(const void* observer, std::string name, const void* sender, Handler handler);
  void removeObserver(const void* observer);
  void removeObserver(const void* observer, std::string_view name);

  void post(std::string name, const void* sender = nullptr, Dictionary userInfo = {});

 private:
  struct Subscription {
    unsigned long id;
    const void* observer;
    std::string name;
    const void* sender;
    Handler handler;
  };

  std::vector<Subscription> subscriptions_;
  unsigned long nextId_ = 1;
};

}  // namespace tumbla
