#include "platform/linux/GtkButtonView.h"

#include <cmath>

#include "platform/Log.h"
#include "platform/linux/HostOperation.h"

namespace tumbla {

namespace {

void onClicked(GtkButton*, gpointer self) {
  auto* view = static_cast<GtkButtonView*>(self);
  HostOperation::run([view] { view->sendAction(); });
}

}  // namespace

GtkButtonView::GtkButtonView(Rect frame, std::optional<Image> background,
                             std::string accessibleName)
    : GtkView<Button>(gtk_button_new(), frame, std::move(background), std::move(accessibleName)) {
  GtkWidget* widget = button();
  gtk_button_set_relief(GTK_BUTTON(widget), GTK_RELIEF_NONE);
  // Buttons over the page are touched, never tabbed to: the keyboard stays with the game.
  gtk_widget_set_can_focus(widget, FALSE);
  gtk_widget_set_tooltip_text(widget, this->accessibleName().c_str());
  atk_object_set_name(gtk_widget_get_accessible(widget), this->accessibleName().c_str());
  // The widget lives as long as this view, which owns it through its overlay.
  g_signal_connect(widget, "clicked", G_CALLBACK(onClicked), this);
  render();
}

GtkWidget* GtkButtonView::button() const {
  return gtk_bin_get_child(GTK_BIN(const_cast<GtkButtonView*>(this)->viewWidget().widget()));
}

void GtkButtonView::frameChanged() {
  GtkView<Button>::frameChanged();
  render();
}

void GtkButtonView::render() {
  GtkWidget* widget = button();
  if (!background()) {
    gtk_button_set_label(GTK_BUTTON(widget), accessibleName().c_str());
    return;
  }
  auto width = static_cast<int>(std::lround(frame().width));
  auto height = static_cast<int>(std::lround(frame().height));
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file_at_scale(
      background()->path.c_str(), std::max(width, 1), std::max(height, 1), FALSE, &error);
  if (!pixbuf) {
    logLine("can't show the button image " + background()->path + ": " + error->message);
    g_error_free(error);
    gtk_button_set_label(GTK_BUTTON(widget), accessibleName().c_str());
    return;
  }
  gtk_button_set_image(GTK_BUTTON(widget), gtk_image_new_from_pixbuf(pixbuf));
  gtk_button_set_always_show_image(GTK_BUTTON(widget), TRUE);
  g_object_unref(pixbuf);
}

}  // namespace tumbla
