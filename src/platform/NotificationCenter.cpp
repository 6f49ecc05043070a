#include "platform/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace tumbla {

void NotificationCenter::addObserver(const void* observer, std::string name, const void* sender,
                                     Handler handler) {
  subscriptions_.push_back({nextId_++, observer, std::move(name), sender, std::move(handler)});
}

void NotificationCenter::removeObserver(const void* observer) {
  std::erase_if(subscriptions_, [&](const Subscription& s) { return s.observer == observer; });
}

void NotificationCenter::removeObserver(const void* observer, std::string_view name) {
  std::erase_if(subscriptions_,
                [&](const Subscription& s) { return s.observer == observer && s.name == name; });
}

void NotificationCenter::post(std::string name, const void* sender, Dictionary userInfo) {
  Notification notification{std::move(name), sender, std::move(userInfo)};
  // Handlers may add or remove subscriptions; walk a snapshot of the matching ids and
  // look each one up again before calling it.
  std::vector<unsigned long> matching;
  for (const Subscription& s : subscriptions_) {
    if (s.name == notification.name && (s.sender == nullptr || s.sender == sender)) {
      matching.push_back(s.id);
    }
  }
  for (unsigned long id : matching) {
    auto it = std::find_if(subscriptions_.begin(), subscriptions_.end(),
                           [&](const Subscription& s) { return s.id == id; });
    if (it == subscriptions_.end()) continue;
    Handler handler = it->handler;
    handler(notification);
  }
}

}  // namespace tumbla
