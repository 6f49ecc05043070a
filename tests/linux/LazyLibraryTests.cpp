#include "platform/linux/LazyLibrary.h"

#include <gtest/gtest.h>

namespace tumbla {
namespace {

// A library or function the installation lacks ends the program at once with one line
// naming it, rather than a crash somewhere later.
TEST(LazyLibrary, WhatCantBeFoundEndsTheProgramSayingWhat) {
  EXPECT_EXIT(LazyLibrary("libtumbla-nowhere.so.9").symbol("anything"),
              ::testing::ExitedWithCode(2), "tumbla: libtumbla-nowhere.so.9: .*; reinstall tumbla");
  EXPECT_EXIT(LazyLibrary::sndfile().symbol("sf_nothing_by_this_name"),
              ::testing::ExitedWithCode(2), "sf_nothing_by_this_name.*; reinstall tumbla");
  EXPECT_NE(LazyLibrary::sndfile().symbol("sf_open"), nullptr);
}

}  // namespace
}  // namespace tumbla
