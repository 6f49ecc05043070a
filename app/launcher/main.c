// tumbla: starts the game program (tumbla-game) and stands between it and the terminal.
//
// A terminal's Ctrl+C, and its hang-up when it closes, go to the whole foreground process
// group, and the web engine's own processes are in it. They would die with the page in them
// before the game could ask the page for its game. So the game runs in a process group of its
// own, while this process stays in the terminal's group, takes those signals and passes each
// on to the game as one SIGTERM, after which the game saves and ends as when its window is
// closed. This process only waits, so it is plain C and loads nothing but the C library: the
// toolkit and the web engine are the game's alone, and the game starts no later for it.

#include <errno.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "Usage.h"

enum { kCouldNotStart = 2 };

static const int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP};

// Set by whoever starts tumbla to have the game run in the process they started.
static const char kRunInThisProcess[] = "TUMBLA_GAME_PROCESS";

static volatile sig_atomic_t gamePid = 0;

static void passOnAsTermination(int signal) {
  (void)signal;
  int saved = errno;
  if (gamePid > 0) kill((pid_t)gamePid, SIGTERM);
  errno = saved;
}

// The game program: beside this one in a build tree, under lib/tumbla once installed (this
// one being in bin/ or games/). False when there is none.
static int findGame(char* path, size_t size) {
  char self[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length <= 0) return 0;
  self[length] = '\0';
  char* lastSlash = strrchr(self, '/');
  if (!lastSlash) return 0;
  *lastSlash = '\0';
  static const char* const kPlaces[] = {"tumbla-game", "../lib/tumbla/tumbla-game"};
  for (size_t i = 0; i < sizeof kPlaces / sizeof kPlaces[0]; ++i) {
    int written = snprintf(path, size, "%s/%s", self, kPlaces[i]);
    if (written > 0 && (size_t)written < size && access(path, X_OK) == 0) return 1;
  }
  return 0;
}

static int runInThisProcess(const char* game, char** argv) {
  execv(game, argv);
  fprintf(stderr, "tumbla: could not start the game program %s (%s)\n", game, strerror(errno));
  return kCouldNotStart;
}

static int waitForGame(pid_t game) {
  int status = 0;
  while (waitpid(game, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  // The game was killed: end the same way, so that whoever started us sees it.
  int signal = WTERMSIG(status);
  struct sigaction byDefault = {.sa_handler = SIG_DFL};
  sigaction(signal, &byDefault, NULL);
  raise(signal);
  return 128 + signal;
}

int main(int argc, char** argv) {
  // The two questions that need no game. Anything combined with them goes to the game, which
  // checks the whole command line first.
  if (argc == 2 && strcmp(argv[1], "--help") == 0) {
    fputs(kTumblaUsage, stdout);
    return 0;
  }
  if (argc == 2 && strcmp(argv[1], "--version") == 0) {
    puts("tumbla " TUMBLA_VERSION);
    return 0;
  }

  char game[PATH_MAX];
  if (!findGame(game, sizeof game)) {
    fputs("tumbla: the game program tumbla-game is missing beside tumbla and in ../lib/tumbla\n",
          stderr);
    return kCouldNotStart;
  }
  // argv[0] stays as typed: the toolkit names the window's class after it.
  const char* runHere = getenv(kRunInThisProcess);
  if (runHere && *runHere) {
    // Not handed on to what the game starts: a tumbla started from it is a new game.
    unsetenv(kRunInThisProcess);
    return runInThisProcess(game, argv);
  }

  // Held until each side is ready for them: a stop request arriving in between is passed
  // on, not lost. The game lets through one held across its exec once it catches them.
  sigset_t passedOn, previous;
  sigemptyset(&passedOn);
  for (size_t i = 0; i < sizeof kPassedOn / sizeof kPassedOn[0]; ++i) {
    sigaddset(&passedOn, kPassedOn[i]);
  }
  sigprocmask(SIG_BLOCK, &passedOn, &previous);

  pid_t parent = getpid();
  pid_t child = fork();
  if (child < 0) {
    sigprocmask(SIG_SETMASK, &previous, NULL);
    fprintf(stderr, "tumbla: could not start the game process (%s); Ctrl+C may lose the game\n",
            strerror(errno));
    return runInThisProcess(game, argv);
  }
  if (child == 0) {
    setpgid(0, 0);
    // A parent that is killed outright takes the game with it, rather than leaving it to run
    // on unseen; a parent that is asked to stop passes the request on instead.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    _exit(runInThisProcess(game, argv));
  }

  setpgid(child, child);
  gamePid = child;
  struct sigaction passOn = {.sa_handler = passOnAsTermination};
  sigemptyset(&passOn.sa_mask);
  for (size_t i = 0; i < sizeof kPassedOn / sizeof kPassedOn[0]; ++i) {
    sigaction(kPassedOn[i], &passOn, NULL);
  }
  sigprocmask(SIG_SETMASK, &previous, NULL);
  return waitForGame(child);
}
