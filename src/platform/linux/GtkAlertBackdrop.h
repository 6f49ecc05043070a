#pragma once

#include <gtk/gtk.h>

#include "platform/Alert.h"

namespace tumbla {

// Paints an alert's backdrop into a dialog: the pattern repeated over a rounded rectangle
// behind the dialog's texts and buttons.
class GtkAlertBackdrop {
 public:
  // Nothing is painted when the pattern's image cannot be read; the dialog keeps the
  // theme's background.
  static void attach(GtkDialog* dialog, const AlertBackdrop& backdrop);
};

}  // namespace tumbla
