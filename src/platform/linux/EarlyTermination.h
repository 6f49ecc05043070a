#pragma once

namespace tumbla::EarlyTermination {

// A request to end the game (SIGINT, SIGTERM, SIGHUP) can come while the game is still
// starting, before its main loop listens for one; by default it would end the process at
// once, unsaved, with the signal's status. From `catchSignals` on it is kept instead, and
// the application ends the start cleanly, as closing the window does. Names no toolkit
// type, so that `main` can call it first thing.

// Catches the three signals from now on, and lets through those a starting process held
// back across its exec.
void catchSignals();
// Whether one of them came since.
bool requested();

}  // namespace tumbla::EarlyTermination
