#include "GameProcess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace tumbla {

namespace {

volatile sig_atomic_t gamePid = 0;

constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP};

// Set in the game process's environment by the process that started it.
constexpr char kGameProcessMarker[] = "TUMBLA_GAME_PROCESS";

void passOnAsTermination(int) {
  int saved = errno;
  if (gamePid > 0) ::kill(static_cast<pid_t>(gamePid), SIGTERM);
  errno = saved;
}

int waitForGame(pid_t game) {
  int status = 0;
  while (::waitpid(game, &status, 0) < 0) {
    if (errno != EINTR) return 1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  // The game was killed: end the same way, so that whoever started us sees it.
  int signal = WTERMSIG(status);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
  return 128 + signal;
}

}  // namespace

std::optional<int> runGameInItsOwnProcessGroup(char** argv) {
  if (const char* marker = std::getenv(kGameProcessMarker); marker && *marker) {
    // Not handed on to what the game starts: a tumbla started from it is a new game.
    ::unsetenv(kGameProcessMarker);
    return std::nullopt;
  }

  // The libraries loaded with us have threads of their own by now (the script engine's
  // allocator sweeps its heap under a lock), and a forked copy of a threaded process may
  // find a lock taken that nobody will ever release. So the child runs this program afresh
  // and does nothing but async-signal-safe calls until then; everything it needs for that is
  // made here, before the fork.
  std::vector<char*> environment;
  for (char** variable = environ; *variable; ++variable) environment.push_back(*variable);
  std::string marker = std::string(kGameProcessMarker) + "=1";
  environment.push_back(marker.data());
  environment.push_back(nullptr);

  // Held until each side is ready for them: a stop request arriving in between is passed
  // on, not lost.
  sigset_t passedOn, previous;
  sigemptyset(&passedOn);
  for (int signal : kPassedOn) sigaddset(&passedOn, signal);
  ::sigprocmask(SIG_BLOCK, &passedOn, &previous);

  pid_t parent = ::getpid();
  pid_t game = ::fork();
  if (game < 0) {
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    std::fprintf(stderr,
                 "tumbla: could not start the game process (%s); Ctrl+C may lose the game\n",
                 std::strerror(errno));
    return std::nullopt;
  }
  if (game == 0) {
    ::setpgid(0, 0);
    // A parent that is killed outright takes the game with it, rather than leaving it to
    // run on unseen; a parent that is asked to stop passes the request on instead.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    // The stop requests stay held across the exec: the game catches them itself as soon as
    // it can, and then lets through one that came meanwhile.
    ::execve("/proc/self/exe", argv, environment.data());
    constexpr char kNotStarted[] = "tumbla: could not start the game process\n";
    [[maybe_unused]] ssize_t written = ::write(STDERR_FILENO, kNotStarted, sizeof kNotStarted - 1);
    ::_exit(2);
  }

  ::setpgid(game, game);
  gamePid = game;
  struct sigaction passOn {};
  passOn.sa_handler = passOnAsTermination;
  sigemptyset(&passOn.sa_mask);
  for (int signal : kPassedOn) ::sigaction(signal, &passOn, nullptr);
  ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  return waitForGame(game);
}

}  // namespace tumbla
