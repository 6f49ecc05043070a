#include <gtest/gtest.h>

#include "platform/linux/DesktopLifecycle.h"

namespace tumbla {
namespace {

using enum LifecycleEvent;
using Events = DesktopLifecycle::Events;

TEST(DesktopLifecycle, FocusChangesResignAndBecomeActiveOnceEach) {
  DesktopLifecycle lifecycle;
  EXPECT_EQ(lifecycle.launched(), Events{DidBecomeActive});
  EXPECT_EQ(lifecycle.focusGained(), Events{});
  EXPECT_EQ(lifecycle.focusLost(), Events{WillResignActive});
  EXPECT_EQ(lifecycle.focusLost(), Events{});
  EXPECT_EQ(lifecycle.focusGained(), Events{DidBecomeActive});
  EXPECT_EQ(lifecycle.focusGained(), Events{});
}

TEST(DesktopLifecycle, IconifyingGoesToTheBackgroundAndRestoringComesBack) {
  DesktopLifecycle lifecycle;
  lifecycle.launched();
  EXPECT_EQ(lifecycle.iconified(), (Events{WillResignActive, DidEnterBackground}));
  EXPECT_EQ(lifecycle.iconified(), Events{});
  // Focus moving while iconified changes nothing; the restore does.
  EXPECT_EQ(lifecycle.focusGained(), Events{});
  EXPECT_EQ(lifecycle.focusLost(), Events{});
  EXPECT_EQ(lifecycle.restored(), (Events{WillEnterForeground, DidBecomeActive}));
  EXPECT_EQ(lifecycle.restored(), Events{});
  EXPECT_EQ(lifecycle.focusGained(), Events{});

  // A window that lost focus first only enters the background.
  lifecycle.focusLost();
  EXPECT_EQ(lifecycle.iconified(), Events{DidEnterBackground});
}

TEST(DesktopLifecycle, ClosingPassesThroughTheBackgroundToTheEnd) {
  DesktopLifecycle active;
  active.launched();
  EXPECT_EQ(active.closed(), (Events{WillResignActive, DidEnterBackground, WillTerminate}));
  EXPECT_EQ(active.closed(), Events{});
  EXPECT_EQ(active.focusGained(), Events{});

  DesktopLifecycle inactive;
  inactive.launched();
  inactive.focusLost();
  EXPECT_EQ(inactive.closed(), (Events{DidEnterBackground, WillTerminate}));

  DesktopLifecycle iconified;
  iconified.launched();
  iconified.iconified();
  EXPECT_EQ(iconified.closed(), Events{WillTerminate});
}

}  // namespace
}  // namespace tumbla
