#pragma once

namespace tumbla {

// ALSA's library prints its own diagnostics to stderr while SDL probes for a sound card,
// eight lines on a machine without one, before the single line the game logs about it.
// Points that library's error handler at one that says nothing. It is the library SDL
// loads itself, so the handler holds for SDL's use of it; without ALSA nothing changes.
void quietAlsaDiagnostics();

}  // namespace tumbla
