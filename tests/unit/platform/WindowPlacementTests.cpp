#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <vector>

#include "platform/ApplicationContext.h"
#include "platform/WindowPlacement.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla {
namespace {

TEST(WindowPlacement, ThePageFillsMostOfTheWorkAreaInItsOwnShape) {
  struct Case {
    Size page;
    WindowGeometry workArea;
    int scaleFactor;
    WindowGeometry fitted;
  };
  const Case cases[] = {
      // The bundled game on the tests' screen: the height decides.
      {{480, 320}, {0, 0, 1280, 800}, 1, {112, 48, 1056, 704}},
      // Portrait.
      {{500, 900}, {0, 0, 1280, 800}, 1, {444, 48, 391, 704}},
      // A desktop with a panel at the top; a second monitor to the right.
      {{480, 320}, {0, 27, 1920, 1053}, 1, {265, 90, 1389, 926}},
      {{480, 320}, {1280, 0, 1920, 1080}, 1, {1527, 65, 1425, 950}},
      // A dense screen: the work area is in logical pixels, each two device pixels across.
      {{480, 320}, {0, 0, 1280, 800}, 2, {112, 48, 1056, 704}},
      {{1024, 768}, {0, 0, 1707, 1067}, 2, {228, 64, 1251, 938}},
      // A screen smaller than the page shrinks it.
      {{480, 320}, {0, 0, 400, 300}, 1, {24, 33, 352, 234}},
      // A scale factor that is not there counts as 1.
      {{480, 320}, {0, 0, 1280, 800}, 0, {112, 48, 1056, 704}},
  };
  for (const Case& c : cases) {
    WindowGeometry fitted = fitPageToWorkArea(c.page, c.workArea, c.scaleFactor);
    EXPECT_EQ(fitted, c.fitted) << c.page.width << "x" << c.page.height << " on "
                                << c.workArea.width << "x" << c.workArea.height << " at "
                                << c.scaleFactor;
    // The page's shape to the pixel, and room left around it.
    EXPECT_LT(std::abs(fitted.width * c.page.height / c.page.width - fitted.height), 1.0);
    EXPECT_LE(fitted.width, c.workArea.width * kComfortableShare);
    EXPECT_LE(fitted.height, c.workArea.height * kComfortableShare);
  }
}

TEST(WindowPlacement, ARememberedWindowComesBackOnlyWhereAMonitorStillShowsItWhole) {
  const std::vector<WindowGeometry> monitors = {{0, 0, 1280, 800}, {1280, 0, 1920, 1080}};
  struct Case {
    WindowGeometry remembered;
    bool kept;
  };
  const Case cases[] = {
      {{100, 100, 600, 400}, true},
      {{1500, 100, 800, 600}, true},
      // Across both monitors: it belongs to the one its centre lies on.
      {{1000, 100, 600, 400}, true},
      // Partly off the screen, yet mostly on it.
      {{-100, -20, 600, 400}, true},
      // Where a monitor was unplugged since, or far off any.
      {{3300, 100, 400, 300}, false},
      {{-900, -900, 400, 300}, false},
      // Larger than the monitor it would open on.
      {{0, 0, 1300, 700}, false},
      {{1280, 0, 1000, 1200}, false},
      {{100, 100, 0, 400}, false},
  };
  for (const Case& c : cases) {
    std::optional<WindowGeometry> restored = stillFitting(c.remembered, monitors);
    EXPECT_EQ(restored.has_value(), c.kept) << c.remembered.x << "," << c.remembered.y;
    if (restored) {
      EXPECT_EQ(*restored, c.remembered);
    }
  }
  EXPECT_EQ(stillFitting({100, 100, 600, 400}, {}), std::nullopt);
}

TEST(WindowPlacement, ThePlacementIsKeptInTheSettingsAndOnlyAWholeOneIsReadBack) {
  SimPlatform& platform = SimPlatform::install();
  UserDefaults& defaults = platform.userDefaults();
  EXPECT_EQ(RememberedWindow::read(defaults), RememberedWindow{});

  RememberedWindow left{WindowGeometry{-40, 20, 900, 600}, true};
  left.write(defaults);
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(defaults.integerForKey("windowWidth"), 900);
  EXPECT_EQ(RememberedWindow::read(defaults), left);

  // A geometry that can't be a window's is no geometry; full screen is read on its own.
  for (const char* spoilt : {"windowWidth", "windowHeight"}) {
    left.write(defaults);
    defaults.setInteger(spoilt, 0);
    EXPECT_EQ(RememberedWindow::read(defaults), (RememberedWindow{std::nullopt, true})) << spoilt;
  }
  left.write(defaults);
  defaults.removeObject("windowX");
  EXPECT_EQ(RememberedWindow::read(defaults), (RememberedWindow{std::nullopt, true}));
  ApplicationContext::uninstall();
}

}  // namespace
}  // namespace tumbla
