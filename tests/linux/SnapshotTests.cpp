#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "TestSupport.h"
#include "platform/linux/DirectoryBundle.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/GtkAppWindow.h"
#include "platform/linux/GtkUserInterface.h"
#include "platform/linux/LibplistPropertyLists.h"

namespace tumbla {
namespace {

using testing::pumpUntil;
using testing::TemporaryDirectory;

GdkPixbuf* decodePng(const std::string& png) {
  GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
  gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(png.data()), png.size(), nullptr);
  gdk_pixbuf_loader_close(loader, nullptr);
  GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
  if (pixbuf) g_object_ref(pixbuf);
  g_object_unref(loader);
  return pixbuf;
}

// Red, green and blue of a pixel.
std::array<int, 3> colourAt(GdkPixbuf* pixbuf, int x, int y) {
  const guchar* pixel = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                        x * gdk_pixbuf_get_n_channels(pixbuf);
  return {pixel[0], pixel[1], pixel[2]};
}

class SnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bundleDirectory_.write("Info.plist",
                           "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
    GdkPixbuf* blue = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 20, 20);
    gdk_pixbuf_fill(blue, 0x0000ffff);
    ASSERT_TRUE(gdk_pixbuf_save(blue, (bundleDirectory_.path() / "button.png").c_str(), "png",
                                nullptr, nullptr));
    g_object_unref(blue);
    auto opened = DirectoryBundle::open(bundleDirectory_.path(), lists_);
    ASSERT_TRUE(opened) << opened.reason();
    bundle_ = std::move(*opened);
  }

  TemporaryDirectory bundleDirectory_;
  LibplistPropertyLists lists_;
  HostDispatcher dispatcher_;
  GLibRunLoop runLoop_{dispatcher_};
  std::unique_ptr<DirectoryBundle> bundle_;
};

TEST_F(SnapshotTest, ThePngShowsThePageAndTheViewsAboveItAtTheWindowsSize) {
  GtkUserInterface ui(dispatcher_, runLoop_, UserInterfaceIdiom::Phone, *bundle_, 5.0);
  auto window = ui.makeWindow({0, 0, 480, 320});
  auto root = ui.makeView({});
  window->setRootView(root);
  auto page = ui.makeWebView({0, 0, 480, 320});
  root->addSubview(page);
  auto button = ui.makeImageView(ui.imageNamed("button.png"));
  button->setFrame({320, 0, 20, 20});
  root->addSubview(button);
  // A card with rounded corners and an outline: the page shows past its corners.
  auto card = ui.makeView({200, 100, 60, 40});
  card->setBackgroundColor({1, 0, 0, 1});
  card->setCornerRadius(10);
  card->setBorderColor({0, 0, 1, 1});
  root->addSubview(card);
  window->makeKeyAndVisible();

  TemporaryDirectory pages;
  auto file =
      pages.write("green.html", "<html><body style='margin:0;background:#00ff00'></body></html>");
  page->loadURL(Url::fileURLWithPath(file.string()));

  // The engine paints a little after the load; wait until the green shows in a snapshot,
  // taking one at most every tenth of a second so that the engine gets to paint.
  std::optional<Result<Image>> taken;
  GdkPixbuf* shot = nullptr;
  bool inFlight = false;
  Subscription taking;
  auto lastTry = std::chrono::steady_clock::now() - std::chrono::seconds(1);
  ASSERT_TRUE(pumpUntil(
      [&] {
        if (shot) return true;
        if (!taken) {
          if (inFlight ||
              std::chrono::steady_clock::now() - lastTry < std::chrono::milliseconds(100)) {
            return false;
          }
          lastTry = std::chrono::steady_clock::now();
          inFlight = true;
          taking = ui.snapshot(*root, [&](Result<Image> image) {
            inFlight = false;
            taken = std::move(image);
          });
          return false;
        }
        if (taken->ok() && taken->value().png) {
          GdkPixbuf* candidate = decodePng(*taken->value().png);
          if (candidate && colourAt(candidate, 100, 200) == std::array<int, 3>{0, 255, 0}) {
            shot = candidate;
            return true;
          }
          if (candidate) g_object_unref(candidate);
        }
        taken.reset();
        return false;
      },
      30));
  EXPECT_EQ(taken->value().size, (Size{480, 320}));
  EXPECT_EQ(gdk_pixbuf_get_width(shot), 480);
  EXPECT_EQ(gdk_pixbuf_get_height(shot), 320);
  EXPECT_EQ(colourAt(shot, 330, 10), (std::array<int, 3>{0, 0, 255}));
  EXPECT_EQ(colourAt(shot, 230, 120), (std::array<int, 3>{255, 0, 0}));
  EXPECT_EQ(colourAt(shot, 230, 100), (std::array<int, 3>{0, 0, 255}));  // the outline
  EXPECT_EQ(colourAt(shot, 259, 120), (std::array<int, 3>{0, 0, 255}));
  EXPECT_EQ(colourAt(shot, 200, 100), (std::array<int, 3>{0, 255, 0}));  // past a corner
  EXPECT_EQ(colourAt(shot, 259, 139), (std::array<int, 3>{0, 255, 0}));
  g_object_unref(shot);

  // The snapshot shows in an image view straight from memory.
  auto thumbnail = ui.makeImageView(std::nullopt);
  thumbnail->setFrame({15, 45, 180, 120});
  thumbnail->setImage(taken->value());
  GtkWidget* picture =
      gtk_bin_get_child(GTK_BIN(dynamic_cast<GtkBackedView&>(*thumbnail).viewWidget().widget()));
  GdkPixbuf* shown = gtk_image_get_pixbuf(GTK_IMAGE(picture));
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(gdk_pixbuf_get_width(shown), 180);
  EXPECT_EQ(colourAt(shown, 10, 100), (std::array<int, 3>{0, 255, 0}));
}

TEST_F(SnapshotTest, AViewThatIsNotOnScreenGivesAFailure) {
  GtkUserInterface ui(dispatcher_, runLoop_, UserInterfaceIdiom::Phone, *bundle_, 5.0);
  auto loose = ui.makeView({0, 0, 100, 100});
  std::optional<Result<Image>> taken;
  Subscription taking = ui.snapshot(*loose, [&](Result<Image> image) { taken = std::move(image); });
  ASSERT_TRUE(taken);
  EXPECT_FALSE(taken->ok());
}

// The encoding runs on a worker; whoever stops wanting the snapshot, the taker or the
// interface going away, stops its answer, and the worker with the interface.
TEST_F(SnapshotTest, ASnapshotNoLongerWantedNeverAnswersAndLeavesNoThread) {
  enum class Ending { TakerLetsGo, InterfaceGoes, Nobody };
  std::multiset<std::string> before = testing::threadNames();
  for (Ending ending : {Ending::TakerLetsGo, Ending::InterfaceGoes, Ending::Nobody}) {
    SCOPED_TRACE(static_cast<int>(ending));
    int answers = 0;
    {
      auto ui = std::make_unique<GtkUserInterface>(dispatcher_, runLoop_, UserInterfaceIdiom::Pad,
                                                   *bundle_, 5.0);
      auto window = ui->makeWindow(ui->mainScreenBounds());
      auto root = ui->makeView({});
      window->setRootView(root);
      window->makeKeyAndVisible();
      ASSERT_TRUE(pumpUntil(
          [&] {
            return gtk_widget_get_realized(
                dynamic_cast<GtkBackedView&>(*root).viewWidget().widget());
          },
          10));
      Subscription taking = ui->snapshot(*root, [&](Result<Image> image) {
        EXPECT_TRUE(image.ok());
        ++answers;
      });
      if (ending == Ending::TakerLetsGo) taking.cancel();
      if (ending == Ending::InterfaceGoes) ui.reset();
      if (ending == Ending::Nobody) {
        EXPECT_TRUE(pumpUntil([&] { return answers == 1; }, 20));
      } else {
        pumpUntil([] { return false; }, 0.3);
      }
    }
    EXPECT_EQ(answers, ending == Ending::Nobody ? 1 : 0);
  }
  EXPECT_EQ(testing::threadsLeftOver(before, testing::threadNames()), std::vector<std::string>{});
}

}  // namespace
}  // namespace tumbla
