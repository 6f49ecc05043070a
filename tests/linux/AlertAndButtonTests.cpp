#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkButtonView.h"

namespace tumbla {
namespace {

using testing::pumpUntil;

// The alert dialogs on screen.
std::vector<GtkWidget*> openDialogs() {
  std::vector<GtkWidget*> dialogs;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item; item = item->next) {
    if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
      dialogs.push_back(GTK_WIDGET(item->data));
    }
  }
  g_list_free(toplevels);
  return dialogs;
}

std::vector<GtkButton*> dialogButtons(GtkWidget* dialog) {
  std::vector<GtkButton*> buttons;
  for (gint index = 0;; ++index) {
    GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), index);
    if (!button) return buttons;
    buttons.push_back(GTK_BUTTON(button));
  }
}

std::string accessibleName(GtkWidget* widget) {
  const char* name = atk_object_get_name(gtk_widget_get_accessible(widget));
  return name ? name : "";
}

TEST(GtkAlertDialog, EachButtonIsNamedAndAnswersItsIndex) {
  HostDispatcher dispatcher;
  std::optional<int> answer;
  Subscription alert = GtkAlertDialog::show(
      dispatcher, nullptr,
      {"Rate Tumbla", "Would you?", {"No, Thanks", "Rate It Now", "Remind_Me"}, 0},
      [&](int index) { answer = index; });
  std::vector<GtkWidget*> dialogs = openDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialogs[0])), "Rate Tumbla");
  std::vector<GtkButton*> buttons = dialogButtons(dialogs[0]);
  ASSERT_EQ(buttons.size(), 3u);
  EXPECT_EQ(accessibleName(GTK_WIDGET(buttons[2])), "Remind_Me");

  gtk_button_clicked(buttons[1]);
  ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10));
  EXPECT_EQ(*answer, 1);
  EXPECT_TRUE(pumpUntil([] { return openDialogs().empty(); }, 10));
}

TEST(GtkAlertDialog, ClosingCountsAsCancelIfThereIsOneAndEndingTheSubscriptionAnswersNothing) {
  HostDispatcher dispatcher;
  std::optional<int> answer;
  Subscription closed =
      GtkAlertDialog::show(dispatcher, nullptr, {"Upgrade", "", {"No,Thanks", "Buy Now"}, 0},
                           [&](int index) { answer = index; });
  ASSERT_EQ(openDialogs().size(), 1u);
  gtk_dialog_response(GTK_DIALOG(openDialogs()[0]), GTK_RESPONSE_DELETE_EVENT);
  ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10));
  EXPECT_EQ(*answer, 0);

  // Without a cancel button, Escape or the close box leave the alert up: only a button
  // answers it, and its asker is not left waiting.
  answer.reset();
  Subscription uncancellable =
      GtkAlertDialog::show(dispatcher, nullptr, {"Notice", "text", {"OK", "More"}, std::nullopt},
                           [&](int index) { answer = index; });
  ASSERT_EQ(openDialogs().size(), 1u);
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(openDialogs()[0])));
  gtk_dialog_response(GTK_DIALOG(openDialogs()[0]), GTK_RESPONSE_DELETE_EVENT);
  pumpUntil([] { return false; }, 0.2);
  ASSERT_EQ(openDialogs().size(), 1u);
  EXPECT_FALSE(answer.has_value());
  gtk_button_clicked(dialogButtons(openDialogs()[0])[1]);
  ASSERT_TRUE(pumpUntil([&] { return answer.has_value(); }, 10));
  EXPECT_EQ(*answer, 1);
  EXPECT_TRUE(pumpUntil([] { return openDialogs().empty(); }, 10));

  answer.reset();
  {
    Subscription dropped = GtkAlertDialog::show(dispatcher, nullptr, {"Notice", "text", {"OK"}, 0},
                                                [&](int index) { answer = index; });
    ASSERT_EQ(openDialogs().size(), 1u);
  }
  EXPECT_TRUE(openDialogs().empty());
  EXPECT_FALSE(answer.has_value());

  // Answered while the host is busy, and ended before the host is free: still nothing.
  Subscription late = GtkAlertDialog::show(dispatcher, nullptr, {"Notice", "text", {"OK"}, 0},
                                           [&](int index) { answer = index; });
  {
    HostDispatcher::Busy busy = dispatcher.enterHost();
    gtk_dialog_response(GTK_DIALOG(openDialogs()[0]), 0);
    late.cancel();
  }
  pumpUntil([] { return false; }, 0.2);
  EXPECT_FALSE(answer.has_value());
}

TEST(GtkButtonView, HasItsAccessibleNameAndRunsItsActionWhenClickedUnlessItIsGone) {
  HostDispatcher dispatcher;
  auto view =
      std::make_shared<GtkButtonView>(dispatcher, Rect{139, 0, 20, 20}, std::nullopt, "Promotion");
  int presses = 0;
  view->setAction([&] { ++presses; });
  GtkWidget* button = gtk_bin_get_child(GTK_BIN(view->viewWidget().widget()));
  ASSERT_TRUE(GTK_IS_BUTTON(button));
  EXPECT_EQ(accessibleName(button), "Promotion");
  gtk_button_clicked(GTK_BUTTON(button));
  EXPECT_EQ(presses, 1);

  // A press while the host is busy waits for it; one whose view is gone by then is lost.
  {
    HostDispatcher::Busy busy = dispatcher.enterHost();
    gtk_button_clicked(GTK_BUTTON(button));
    EXPECT_EQ(presses, 1);
  }
  ASSERT_TRUE(pumpUntil([&] { return presses == 2; }, 10));
  {
    HostDispatcher::Busy busy = dispatcher.enterHost();
    gtk_button_clicked(GTK_BUTTON(button));
    view.reset();
  }
  pumpUntil([] { return false; }, 0.2);
  EXPECT_EQ(presses, 2);
}

// What the button shows: the texts of its labels and the sizes of its images, in order.
void collectShown(GtkWidget* widget, std::vector<std::string>& shown) {
  if (GTK_IS_LABEL(widget)) shown.emplace_back(gtk_label_get_text(GTK_LABEL(widget)));
  if (GTK_IS_IMAGE(widget)) {
    cairo_surface_t* surface = nullptr;
    if (gtk_image_get_storage_type(GTK_IMAGE(widget)) == GTK_IMAGE_SURFACE) {
      g_object_get(widget, "surface", &surface, nullptr);
    }
    shown.push_back(surface ? "image " + std::to_string(cairo_image_surface_get_width(surface)) +
                                  "x" + std::to_string(cairo_image_surface_get_height(surface))
                            : "image without pixels");
    if (surface) cairo_surface_destroy(surface);
  }
  // The title must not take the pointer from the button below it.
  if (GTK_IS_OVERLAY(gtk_widget_get_parent(widget)) && GTK_IS_LABEL(widget) &&
      !gtk_overlay_get_overlay_pass_through(GTK_OVERLAY(gtk_widget_get_parent(widget)), widget)) {
    shown.emplace_back("label taking clicks");
  }
  if (GTK_IS_CONTAINER(widget)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    for (GList* item = children; item; item = item->next) {
      collectShown(GTK_WIDGET(item->data), shown);
    }
    g_list_free(children);
  }
}

TEST(GtkButtonView, ShowsItsTitleOverItsImageAtEveryFrameAndScale) {
  testing::TemporaryDirectory directory;
  GdkPixbuf* red = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 100, 26);
  gdk_pixbuf_fill(red, 0xc83c32ff);
  std::string path = (directory.path() / "3242.png").string();
  ASSERT_TRUE(gdk_pixbuf_save(red, path.c_str(), "png", nullptr, nullptr));
  g_object_unref(red);

  HostDispatcher dispatcher;
  GtkButtonView view(dispatcher, {210, 269, 60, 20}, Image{path, {100, 26}, nullptr}, "Cancel");
  GtkWidget* button = gtk_bin_get_child(GTK_BIN(view.viewWidget().widget()));
  auto shown = [&] {
    std::vector<std::string> parts;
    collectShown(button, parts);
    return parts;
  };
  EXPECT_EQ(shown(), std::vector<std::string>{"image 60x20"});
  view.setTitle("Cancel");
  EXPECT_EQ(shown(), (std::vector<std::string>{"image 60x20", "Cancel"}));
  view.setFrame({455, 540, 100, 26});
  EXPECT_EQ(shown(), (std::vector<std::string>{"image 100x26", "Cancel"}));
  EXPECT_EQ(accessibleName(button), "Cancel");
  // In a window twice the views' size the image is drawn at twice the pixels, and the
  // title in a font twice as large.
  auto titlePixelHeight = [&] {
    GtkWidget* overlay = gtk_bin_get_child(GTK_BIN(button));
    GList* children = gtk_container_get_children(GTK_CONTAINER(overlay));
    PangoLayout* layout = gtk_label_get_layout(GTK_LABEL(g_list_last(children)->data));
    g_list_free(children);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    return height;
  };
  int titleHeight = titlePixelHeight();
  ViewWidget::setScale(2);
  EXPECT_EQ(shown(), (std::vector<std::string>{"image 200x52", "Cancel"}));
  EXPECT_NEAR(titlePixelHeight(), 2 * titleHeight, 3);
  ViewWidget::setScale(1);
  EXPECT_EQ(shown(), (std::vector<std::string>{"image 100x26", "Cancel"}));

  // Without a readable image the title alone is shown, and the button stays named.
  GtkButtonView broken(dispatcher, {0, 0, 60, 20}, Image{path + ".missing", {60, 20}, nullptr},
                       "Cancel");
  broken.setTitle("Dismiss");
  GtkWidget* brokenButton = gtk_bin_get_child(GTK_BIN(broken.viewWidget().widget()));
  std::vector<std::string> parts;
  collectShown(brokenButton, parts);
  EXPECT_EQ(parts, std::vector<std::string>{"Dismiss"});
  EXPECT_EQ(accessibleName(brokenButton), "Cancel");
  // And with no title either, nothing is drawn over what lies below the button.
  broken.setTitle("");
  parts.clear();
  collectShown(brokenButton, parts);
  EXPECT_EQ(parts, std::vector<std::string>{""});
}

}  // namespace
}  // namespace tumbla
