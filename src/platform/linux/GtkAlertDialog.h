#pragma once

#include <gtk/gtk.h>

#include "platform/Alert.h"
#include "platform/Subscription.h"
#include "platform/linux/HostDispatcher.h"

namespace tumbla {

// An alert as a GTK message dialog above `parent`: the title in bold, the message below,
// one button per title (each button's label is its accessible name). It does not block
// the main loop; the answer reaches the host through the dispatcher, unless the answered
// subscription has ended by then. It is modal: the game's window takes no input while it is
// up. Escape or closing the dialog counts as its cancel button; an alert without one stays.
class GtkAlertDialog {
 public:
  static Subscription show(HostDispatcher& dispatcher, GtkWindow* parent, Alert alert,
                           AlertAnswer answer);
};

}  // namespace tumbla
