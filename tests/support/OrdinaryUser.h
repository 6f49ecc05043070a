#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace tumbla::testing {

// Runs `check` in a child process as an ordinary user, where file and folder permissions
// hold as they do for a player: when the tests run as root, the child becomes "nobody"
// (uid and gid 65534) first. The child prints its gtest failures, with their lines, as they
// happen; one more failure says that the check failed there or died.
inline void runAsAnOrdinaryUser(const std::function<void()>& check) {
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t child = ::fork();
  if (child == 0) {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
      std::fputs("could not become an ordinary user\n", stderr);
      ::_exit(3);
    }
    check();
    std::fflush(stdout);
    ::_exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = -1;
  if (child > 0) ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    ADD_FAILURE() << "the check as an ordinary user failed (wait status " << status << ")";
  }
}

}  // namespace tumbla::testing
