#include "KeyboardFocus.h"

#include <gdk/gdkx.h>

namespace tumbla::testing {

void takeKeyboardFocusFromEveryWindow() {
  XSetInputFocus(GDK_DISPLAY_XDISPLAY(gdk_display_get_default()), None, RevertToNone, CurrentTime);
}

}  // namespace tumbla::testing
