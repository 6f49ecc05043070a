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
  auto field = ui.makeTextField({10, 80, 100, 30}, "Message");
  root->addSubview(field);
  // The text field's text size.
  auto fieldTextSize = [&] {
    GtkWidget* entry =
        gtk_bin_get_child(GTK_BIN(dynamic_cast<GtkBackedView&>(*field).viewWidget().widget()));
    GtkStyleContext* style = gtk_widget_get_style_context(entry);
    PangoFontDescription* font = nullptr;
    gtk_style_context_get(style, gtk_style_context_get_state(style), GTK_STYLE_PROPERTY_FONT, &font,
                          nullptr);
    double size = pango_font_description_get_size(font) / double(PANGO_SCALE);
    pango_font_description_free(font);
    return size;
  };
  window->makeKeyAndVisible();
  ASSERT_TRUE(pumpUntil([&] { return sameRect(allocationOf(*panel), {10, 20, 100, 50}); }, 5));
  double textSize = fieldTextSize();

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
  // So is the text of a field.
  EXPECT_GT(textSize, 0);
  EXPECT_TRUE(pumpUntil([&] { return std::abs(fieldTextSize() - 2 * textSize) < 1; }, 5))
      << fieldTextSize() << " after " << textSize;

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

// Sends a key press and its release to the window, as the keyboard would.
void typeKey(GtkWindow* window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gdk_display_get_default()), keyval,
                                    &keys, &count);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(window))));
    event->key.keyval = keyval;
    event->key.state = state;
    // Key bindings (a button's Return and Space) look the key up by its keycode.
    event->key.hardware_keycode = count > 0 ? static_cast<guint16>(keys[0].keycode) : 0;
    gtk_widget_event(GTK_WIDGET(window), event);
    gdk_event_free(event);
  }
  g_free(keys);
}

gboolean countKey(GtkWidget*, GdkEventKey*, gpointer keys) {
  ++*static_cast<int*>(keys);
  return FALSE;
}

TEST_F(ViewTest, AShownPanelHoldsTheKeyboardAndEscapePressesItsCancel) {
  GtkUserInterface ui = userInterface(UserInterfaceIdiom::Phone);
  auto window = std::dynamic_pointer_cast<GtkAppWindow>(ui.makeWindow(ui.mainScreenBounds()));
  auto root = ui.makeView({});
  window->setRootView(root);
  // The game's page: it takes the keyboard and counts the keys that reach it.
  GtkWidget* page = gtk_drawing_area_new();
  gtk_widget_set_can_focus(page, TRUE);
  int pageKeys = 0;
  g_signal_connect(page, "key-press-event", G_CALLBACK(countKey), &pageKeys);
  root->addSubview(std::make_shared<GtkView<View>>(page, Rect{0, 0, 480, 320}));
  int cameraPresses = 0;
  auto camera = ui.makeButton({320, 0, 20, 20}, std::nullopt, "Snapshot");
  camera->setAction([&] { ++cameraPresses; });
  root->addSubview(camera);

  auto panel = ui.makeView({0, 0, 480, 320});
  panel->setHidden(true);
  root->addSubview(panel);
  auto field = ui.makeTextField({10, 10, 200, 30}, "Message");
  panel->addSubview(field);
  int shares = 0;
  auto share = ui.makeButton({10, 50, 100, 26}, std::nullopt, "Share");
  share->setAction([&] { ++shares; });
  panel->addSubview(share);
  int cancels = 0;
  auto cancel = ui.makeButton({120, 50, 100, 26}, std::nullopt, "Cancel");
  cancel->setCancelButton(true);
  cancel->setAction([&] {
    ++cancels;
    panel->setHidden(true);
  });
  panel->addSubview(cancel);

  window->makeKeyAndVisible();
  ASSERT_TRUE(pumpUntil([&] { return gtk_widget_get_mapped(GTK_WIDGET(window->toplevel())); }, 5));
  gtk_widget_grab_focus(page);
  GtkWindow* toplevel = window->toplevel();
  auto widgetOf = [](View& view) {
    return gtk_bin_get_child(GTK_BIN(dynamic_cast<GtkBackedView&>(view).viewWidget().widget()));
  };
  auto focused = [&] { return gtk_window_get_focus(toplevel); };

  // In play every key is the page's, Tab too: it never leaves the page for the buttons.
  for (guint key : {GDK_KEY_Right, GDK_KEY_Tab, GDK_KEY_Tab, GDK_KEY_space, GDK_KEY_Escape}) {
    typeKey(toplevel, key);
  }
  EXPECT_EQ(pageKeys, 5);
  EXPECT_EQ(focused(), page);
  EXPECT_EQ(cameraPresses, 0);

  // With the panel up, the first key takes the keyboard into it; Tab and Shift+Tab go
  // round its controls; Return and Space press the focused button.
  panel->setHidden(false);
  typeKey(toplevel, GDK_KEY_Left);
  EXPECT_EQ(focused(), widgetOf(*field));
  struct Step {
    guint key;
    GdkModifierType state;
    View* focus;
  };
  for (const Step& step : {Step{GDK_KEY_Tab, GdkModifierType(0), share.get()},
                           Step{GDK_KEY_Tab, GdkModifierType(0), cancel.get()},
                           Step{GDK_KEY_Tab, GdkModifierType(0), field.get()},
                           Step{GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK, cancel.get()},
                           Step{GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK, share.get()}}) {
    typeKey(toplevel, step.key, step.state);
    EXPECT_EQ(focused(), widgetOf(*step.focus)) << gdk_keyval_name(step.key);
  }
  // A button pressed from the keyboard shows itself pressed for a moment, then acts.
  typeKey(toplevel, GDK_KEY_Return);
  ASSERT_TRUE(pumpUntil([&] { return shares == 1; }, 5));
  typeKey(toplevel, GDK_KEY_space);
  ASSERT_TRUE(pumpUntil([&] { return shares == 2; }, 5));
  EXPECT_EQ(cancels, 0);
  EXPECT_EQ(pageKeys, 5);

  // Escape closes the panel as its Cancel does, and the keyboard goes back to the page.
  typeKey(toplevel, GDK_KEY_Escape);
  ASSERT_TRUE(pumpUntil([&] { return cancels == 1; }, 5));
  EXPECT_TRUE(panel->isHidden());
  EXPECT_EQ(pageKeys, 5);
  typeKey(toplevel, GDK_KEY_Up);
  EXPECT_EQ(focused(), page);
  EXPECT_EQ(pageKeys, 6);
  EXPECT_EQ(shares, 2);
  EXPECT_EQ(cameraPresses, 0);
}

}  // namespace
}  // namespace tumbla
