#pragma once

#include <SDL.h>

namespace tumbla {

// Set before each part of SDL the host starts, whichever starts first.
inline void setSdlHints() {
  // SIGINT and SIGTERM belong to the application, which saves the game on them.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // There is no SDL window to have the focus: whether the game has it is asked of GTK.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
}

}  // namespace tumbla
