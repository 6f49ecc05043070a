#include "platform/NotificationCenter.h"

#include <algorithm>
#include <utility>

namespace tumbla {

NotificationCenter::NotificationCenter() : registry_(std::make_shared<Registry>()) {}

Subscription NotificationCenter::addObserver(std::string name, const void* sender,
                                             Handler handler) {
  unsigned long id = registry_->nextId++;
  registry_->registrations.push_back({id, std::move(name), sender, std::move(handler)});
  return Subscription([weakRegistry = std::weak_ptr<Registry>(registry_), id] {
    if (auto registry = weakRegistry.lock()) {
      std::erase_if(registry->registrations, [&](const Registration& r) { return r.id == id; });
    }
  });
}

void NotificationCenter::post(std::string name, const void* sender, Dictionary userInfo) {
  Notification notification{std::move(name), sender, std::move(userInfo)};
  // Handlers may add or remove registrations; walk a snapshot of the matching ids and
  // look each one up again before calling it.
  std::vector<unsigned long> matching;
  for (const Registration& r : registry_->registrations) {
    if (r.name == notification.name && (r.sender == nullptr || r.sender == sender)) {
      matching.push_back(r.id);
    }
  }
  for (unsigned long id : matching) {
    auto& registrations = registry_->registrations;
    auto it = std::find_if(registrations.begin(), registrations.end(),
                           [&](const Registration& r) { return r.id == id; });
    if (it == registrations.end()) continue;
    Handler handler = it->handler;
    handler(notification);
  }
}

}  // namespace tumbla
