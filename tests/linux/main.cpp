#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("tumbla_linux_tests: no display; run through tests/support/run-under-xvfb.sh\n",
               stderr);
    return 1;
  }
  return RUN_ALL_TESTS();
}
