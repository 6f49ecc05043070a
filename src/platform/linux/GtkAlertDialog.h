#pragma once

#include <gtk/gtk.h>

#include "platform/Alert.h"
#include "platform/Subscription.h"

namespace tumbla {

// An alert as a GTK message dialog above `parent`: the title in bold, the message below,
// one button per title (each button's label is its accessible name). It does not block
// the main loop; the answer arrives as a host operation. Closing the dialog counts as its
// cancel button.
class GtkAlertDialog {
 public:
  static Subscription show(GtkWindow* parent, Alert alert, AlertAnswer answer);
};

}  // namespace tumbla
