#pragma once

#include <optional>
#include <string>

#include "platform/Error.h"
#include "value/Value.h"

namespace tumbla {

// What the remote notices ask and tell their delegate. Every operation is optional: a
// delegate announces the ones it has through `respondsTo`; a question it lacks counts as
// answered true.
class iNotifyDelegate {
 public:
  enum class Optional {
    ShouldCheckForNotifications,
    NotificationsCheckFailed,
    DetectedNotifications,
    ShouldDisplayNotification
  };

  virtual ~iNotifyDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  virtual bool iNotifyShouldCheckForNotifications() { return true; }
  // `error` is nothing when the reason is not known.
  virtual void iNotifyNotificationsCheckFailed(const std::optional<Error>& /*error*/) {}
  virtual void iNotifyDetectedNotifications(const Dictionary& /*notifications*/) {}
  virtual bool iNotifyShouldDisplayNotificationWithKey(const std::string& /*key*/,
                                                       const Dictionary& /*details*/) {
    return true;
  }
};

}  // namespace tumbla
