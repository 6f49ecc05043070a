#pragma once

#include <optional>

namespace tumbla {

// A terminal's Ctrl+C, and its hang-up when it closes, go to the whole foreground process
// group, and the web engine's own processes are in it. They would die with the page in
// them before the host could ask the page for its game. So the game runs in a child
// process with a process group of its own, while this process stays in the terminal's
// group, takes those signals and passes each on to the game as one SIGTERM, after which
// the game saves and ends as when its window is closed.
//
// The game process is this program started again with the same `argv` (the command line
// of main). There this answers nothing, and the game goes on to run; in the first process
// it waits for the game and answers the exit status to end with (the game's own). When no
// child can be made the game runs in this process, as before.
std::optional<int> runGameInItsOwnProcessGroup(char** argv);

}  // namespace tumbla
