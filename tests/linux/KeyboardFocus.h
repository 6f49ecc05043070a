#pragma once

namespace tumbla::testing {

// Gives the keyboard focus to no window at all, as when the player turns to another program.
// Apart from the other test helpers: Xlib's macros (None, Bool, Status) would clash with
// names in any file that included it.
void takeKeyboardFocusFromEveryWindow();

}  // namespace tumbla::testing
