#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cmath>

#include "TestSupport.h"
#include "platform/linux/DirectoryBundle.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/GtkUserInterface.h"
#include "platform/linux/LibplistPropertyLists.h"

namespace tumbla {
namespace {

using testing::pumpUntil;
using testing::TemporaryDirectory;

// Where the view's widget lies in the window.
GdkRectangle allocationOf(View& view) {
  GtkWidget* widget = dynamic_cast<GtkBackedView&>(view).viewWidget().widget();
  GdkRectangle placed{0, 0, gtk_widget_get_allocated_width(widget),
                      gtk_widget_get_allocated_height(widget)};
  if (!gtk_widget_translate_coordinates(widget, gtk_widget_get_toplevel(widget), 0, 0, &placed.x,
                                        &placed.y)) {
    placed = {-1, -1, 0, 0};
  }
  return placed;
}

bool sameRect(const GdkRectangle& a, const GdkRectangle& b) {
  return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundleDirectory_.write("Info.plist",
                           "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
    // A portrait launch image, 40x60, red in its top-left corner and blue elsewhere.
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 40, 60);
    gdk_pixbuf_fill(image, 0x0000ffff);
    GdkPixbuf* corner = gdk_pixbuf_new_subpixbuf(image, 0, 0, 1, 1);
    gdk_pixbuf_fill(corner, 0xff0000ff);
    g_object_unref(corner);
    ASSERT_TRUE(gdk_pixbuf_save(image, (bundleDirectory_.path() / "Default.png").c_str(), "png",
                                nullptr, nullptr));
    g_object_unref(image);
    bundleDirectory_.write("notes.txt", "not an image");
    auto opened = DirectoryBundle::open(bundleDirectory_.path(), lists_);
    ASSERT_TRUE(opened) << opened.reason();
    bundle_ = std::move(*opened);
  }

  GtkUserInterface userInterface(UserInterfaceIdiom idiom) {
    return GtkUserInterface(dispatcher_, runLoop_, idiom, *bundle_, 5.0);
  }

  TemporaryDirectory bundleDirectory_;
  LibplistPropertyLists lists_;
  HostDispatcher dispatcher_;
  GLibRunLoop runLoop_{dispatcher_};
  std::unique_ptr<DirectoryBundle> bundle_;
};

TEST_F(ViewTest, TheUprightScreenIsShownInALandscapeWindow) {
  EXPECT_EQ(userInterface(UserInterfaceIdiom::Phone).mainScreenBounds(), (Rect{0, 0, 320, 480}));
  EXPECT_EQ(userInterface(UserInterfaceIdiom::Pad).mainScreenBounds(), (Rect{0, 0, 768, 1024}));

  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  auto window = std::dynamic_pointer_cast<GtkAppWindow>(ui.makeWindow({0, 0, 480, 320}));
  window->makeKeyAndVisible();
  ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->toplevel())); }, 5));
  EXPECT_STREQ(gtk_window_get_title(window->toplevel()), "Tumbla");
  EXPECT_TRUE(gtk_window_get_resizable(window->toplevel()));
  ASSERT_TRUE(pumpUntil(
      [&] { return gtk_widget_get_allocated_width(GTK_WIDGET(window->toplevel())) == 480; }, 5));
  EXPECT_EQ(gtk_widget_get_allocated_height(GTK_WIDGET(window->toplevel())), 320);
  EXPECT_EQ(ui.mainWindow(), window);
}

TEST_F(ViewTest, ImagesAreFoundInTheBundleWithTheirSize) {
  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  std::optional<Image> image = ui.imageNamed("Default.png");
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size, (Size{40, 60}));
  EXPECT_EQ(image->path, (bundleDirectory_.path() / "Default.png").string());
  EXPECT_EQ(ui.imageNamed("Default-Landscape.png"), std::nullopt);
  EXPECT_EQ(ui.imageNamed("notes.txt"), std::nullopt);
}

TEST_F(ViewTest, SubviewsLieAtTheirFramesAndAQuarterTurnedImageIsTurned) {
  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  auto window = ui.makeWindow({0, 0, 480, 320});
  auto root = ui.makeView({});
  window->setRootView(root);
  auto panel = ui.makeView({10, 20, 100, 50});
  root->addSubview(panel);
  std::optional<Image> launch = ui.imageNamed("Default.png");
  auto image = ui.makeImageView(launch);
  root->addSubview(image);
  // The launch image's turn: a quarter turn back, shifted so that it covers the screen
  // from its top-left corner.
  double shift = (launch->size.height - launch->size.width) * 0.5;
  image->setTransform(AffineTransform::rotation(-1.5707964f).translatedBy(shift, shift));
  window->makeKeyAndVisible();

  ASSERT_TRUE(pumpUntil([&] { return sameRect(allocationOf(*panel), {10, 20, 100, 50}); }, 5));
  EXPECT_TRUE(sameRect(allocationOf(*root), {0, 0, 480, 320}));
  ASSERT_TRUE(pumpUntil([&] { return sameRect(allocationOf(*image), {0, 0, 60, 40}); }, 5));

  GtkWidget* picture =
      gtk_bin_get_child(GTK_BIN(dynamic_cast<GtkBackedView&>(*image).viewWidget().widget()));
  GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(picture));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(shown), 60);
  EXPECT_EQ(gdk_pixbuf_get_height(shown), 40);
  // Turned counter-clockwise, the top-left corner ends at the bottom left.
  auto redAt = [&](int x, int y) {
    const guchar* pixel = gdk_pixbuf_read_pixels(shown) + y * gdk_pixbuf_get_rowstride(shown) +
                          x * gdk_pixbuf_get_n_channels(shown);
    return pixel[0] == 0xff && pixel[2] == 0;
  };
  EXPECT_TRUE(redAt(0, 39));
  EXPECT_FALSE(redAt(0, 0));
}

TEST_F(ViewTest, AResizedWindowScalesItsViewsToFitAndCentresThem) {
  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  auto window = std::dynamic_pointer_cast<GtkAppWindow>(ui.makeWindow({0, 0, 480, 320}));
  auto root = ui.makeView({});
  window->setRootView(root);
  auto panel = ui.makeView({10, 20, 100, 50});
  root->addSubview(panel);
  auto image = ui.makeImageView(ui.imageNamed("Default.png"));
  image->setFrame({0, 0, 40, 60});
  root->addSubview(image);
  window->makeKeyAndVisible();
  ASSERT_TRUE(pumpUntil([&] { return sameRect(allocationOf(*panel), {10, 20, 100, 50}); }, 5));

  // Twice as wide and more than twice as high: twice the size, with bars above and below.
  gtk_window_resize(window->toplevel(), 960, 800);
  ASSERT_TRUE(pumpUntil(
      [&] {
        return sameRect(allocationOf(*root), {0, 80, 960, 640});
      },
      5))
      << allocationOf(*root).y << " " << allocationOf(*root).width;
  EXPECT_TRUE(sameRect(allocationOf(*panel), {20, 120, 200, 100}));
  // Images are drawn anew at the scale, not stretched.
  GtkWidget* picture =
      gtk_bin_get_child(GTK_BIN(dynamic_cast<GtkBackedView&>(*image).viewWidget().widget()));
  GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(picture));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(shown), 80);

  // Smaller than the views, and wider than their shape: bars at the sides.
  gtk_window_resize(window->toplevel(), 400, 160);
  ASSERT_TRUE(pumpUntil(
      [&] {
        return sameRect(allocationOf(*root), {80, 0, 240, 160});
      },
      5))
      << allocationOf(*root).x << " " << allocationOf(*root).width;
  EXPECT_TRUE(sameRect(allocationOf(*panel), {85, 10, 50, 25}));
}

TEST_F(ViewTest, TheWindowTakesItsNameAndIconFromTheBundleAndF11TogglesFullScreen) {
  bundleDirectory_.write("Info.plist",
                         "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
                         "<key>CFBundleName</key><string>Tap Counter</string>"
                         "<key>CFBundleIconFile</key><string>Default.png</string>"
                         "</dict></plist>");
  auto opened = DirectoryBundle::open(bundleDirectory_.path(), lists_);
  ASSERT_TRUE(opened) << opened.reason();
  // The settings the window keeps its placement in.
  struct MemoryStore : PreferencesStore {
    Dictionary load() override { return {}; }
    Status save(const Dictionary&) override { return {}; }
  };
  UserDefaults settings(std::make_unique<MemoryStore>());
  GtkUserInterface ui(dispatcher_, runLoop_, UserInterfaceIdiom::Phone, **opened, 5.0,
                      {.fullscreen = true}, &settings);
  auto window = std::dynamic_pointer_cast<GtkAppWindow>(ui.makeWindow({0, 0, 480, 320}));
  EXPECT_STREQ(gtk_window_get_title(window->toplevel()), "Tap Counter");
  EXPECT_NE(gtk_window_get_icon(window->toplevel()), nullptr);
  EXPECT_TRUE(window->isFullscreen());
  // Full screen from the command line is for this run; the window is not remembered so.
  window.reset();
  EXPECT_FALSE(RememberedWindow::read(settings).fullScreen);
  window = std::dynamic_pointer_cast<GtkAppWindow>(ui.makeWindow({0, 0, 480, 320}));

  window->makeKeyAndVisible();
  ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->toplevel())); }, 5));
  auto press = [&](guint key) {
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window =
        GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window->toplevel()))));
    event->key.keyval = key;
    gtk_widget_event(GTK_WIDGET(window->toplevel()), event);
    gdk_event_free(event);
  };
  press(GDK_KEY_F11);
  EXPECT_FALSE(window->isFullscreen());
  press(GDK_KEY_F11);
  EXPECT_TRUE(window->isFullscreen());
  press(GDK_KEY_F10);
  EXPECT_TRUE(window->isFullscreen());
  // The player's own full screen is remembered, at the latest when the window goes.
  window.reset();
  EXPECT_TRUE(RememberedWindow::read(settings).fullScreen);
}

TEST_F(ViewTest, HiddenAndTransparentViewsStaySoWhenTheWindowIsShown) {
  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  auto window = ui.makeWindow({0, 0, 480, 320});
  auto root = ui.makeView({});
  window->setRootView(root);
  auto hidden = ui.makeView({0, 0, 10, 10});
  hidden->setHidden(true);
  root->addSubview(hidden);
  auto faded = ui.makeImageView(ui.imageNamed("Default.png"));
  faded->setAlpha(0.25);
  root->addSubview(faded);
  window->makeKeyAndVisible();
  pumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(ui.mainWindow()->toplevel())); }, 5);

  GtkWidget* hiddenWidget = dynamic_cast<GtkBackedView&>(*hidden).viewWidget().widget();
  GtkWidget* fadedWidget = dynamic_cast<GtkBackedView&>(*faded).viewWidget().widget();
  EXPECT_FALSE(gtk_widget_get_visible(hiddenWidget));
  EXPECT_TRUE(gtk_widget_get_visible(fadedWidget));
  EXPECT_NEAR(gtk_widget_get_opacity(fadedWidget), 0.25, 0.01);
  hidden->setHidden(false);
  EXPECT_TRUE(gtk_widget_get_visible(hiddenWidget));
}

TEST(VisualRect, ATransformActsAboutTheFramesCentre) {
  Rect frame{0, 0, 320, 480};
  EXPECT_EQ(visualRect(frame, {}), frame);
  Rect turned = visualRect(frame, AffineTransform::rotation(-M_PI / 2).translatedBy(80, 80));
  EXPECT_NEAR(turned.x, 0, 1e-9);
  EXPECT_NEAR(turned.y, 0, 1e-9);
  EXPECT_NEAR(turned.width, 480, 1e-9);
  EXPECT_NEAR(turned.height, 320, 1e-9);
  Rect eighth = visualRect({0, 0, 10, 10}, AffineTransform::rotation(M_PI / 4));
  EXPECT_NEAR(eighth.width, 10 * std::sqrt(2.0), 1e-9);
  EXPECT_NEAR(eighth.x + eighth.width / 2, 5, 1e-9);
}

}  // namespace
}  // namespace tumbla
