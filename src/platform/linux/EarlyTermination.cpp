#include "platform/linux/EarlyTermination.h"

#include <signal.h>

namespace tumbla::EarlyTermination {

namespace {

constexpr int kTermination[] = {SIGINT, SIGTERM, SIGHUP};

// A signal handler can only set a flag of this kind; it is process-wide by nature.
volatile sig_atomic_t received = 0;

void remember(int) {
  received = 1;
}

}  // namespace

void catchSignals() {
  struct sigaction keep {};
  keep.sa_handler = remember;
  sigemptyset(&keep.sa_mask);
  sigset_t held;
  sigemptyset(&held);
  for (int signal : kTermination) {
    ::sigaction(signal, &keep, nullptr);
    sigaddset(&held, signal);
  }
  ::sigprocmask(SIG_UNBLOCK, &held, nullptr);
}

bool requested() {
  return received != 0;
}

}  // namespace tumbla::EarlyTermination
