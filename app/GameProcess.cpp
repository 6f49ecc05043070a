#include "GameProcess.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tumbla {

namespace {

volatile sig_atomic_t gamePid = 0;

constexpr int kPassedOn[] = {SIGINT, SIGTERM, SIGHUP};

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

std::optional<int> runGameInItsOwnProcessGroup() {
  // Held until each side is ready for them: a stop request arriving in between is passed
  // on, not lost.
  sigset_t passedOn, previous;
  sigemptyset(&passedOn);
  for (int signal : kPassedOn) sigaddset(&passedOn, signal);
  ::sigprocmask(SIG_BLOCK, &passedOn, &previous);

  pid_t parent = ::getpid();
  pid_t game = ::fork();
  if (game <= 0) ::sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (game < 0) {
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
    return std::nullopt;
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
