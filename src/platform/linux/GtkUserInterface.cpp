#include "platform/linux/GtkUserInterface.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

#include "platform/linux/GtkImageView.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/WebKitView.h"

namespace tumbla {

GtkUserInterface::GtkUserInterface(UserInterfaceIdiom idiom, const Bundle& bundle,
                                   double scriptTimeoutSeconds)
    : idiom_(idiom), bundle_(bundle), scriptTimeoutSeconds_(scriptTimeoutSeconds) {}

Rect GtkUserInterface::mainScreenBounds() const {
  // The device held upright, as its screen reports itself; the window shows it turned.
  if (idiom_ == UserInterfaceIdiom::Pad) return {0, 0, 768, 1024};
  return {0, 0, 320, 480};
}

std::shared_ptr<Window> GtkUserInterface::makeWindow(Rect frame) {
  auto window = std::make_shared<GtkAppWindow>(frame);
  mainWindow_ = window;
  return window;
}

std::shared_ptr<View> GtkUserInterface::makeView(Rect frame) {
  return std::make_shared<GtkView<View>>(nullptr, frame);
}

std::shared_ptr<WebView> GtkUserInterface::makeWebView(Rect frame) {
  return std::make_shared<WebKitView>(frame, scriptTimeoutSeconds_);
}

std::shared_ptr<ImageView> GtkUserInterface::makeImageView(std::optional<Image> image) {
  return std::make_shared<GtkImageView>(std::move(image));
}

std::optional<Image> GtkUserInterface::imageNamed(std::string_view name) const {
  std::optional<std::string> path = bundle_.pathForResource(name, "");
  if (!path) return std::nullopt;
  int width = 0;
  int height = 0;
  if (!gdk_pixbuf_get_file_info(path->c_str(), &width, &height)) return std::nullopt;
  return Image{*path, Size{static_cast<double>(width), static_cast<double>(height)}};
}

}  // namespace tumbla

namespace tumbla {

void GtkUserInterface::showNotice(std::string_view message) {
  std::shared_ptr<GtkAppWindow> window = mainWindow();
  std::string text(message);
  GtkWidget* dialog =
      gtk_message_dialog_new(window ? window->toplevel() : nullptr, GTK_DIALOG_DESTROY_WITH_PARENT,
                             GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), "Tumbla");
  atk_object_set_name(gtk_widget_get_accessible(dialog), "Tumbla");
  g_signal_connect(dialog, "response", G_CALLBACK(gtk_widget_destroy), nullptr);
  gtk_widget_show(dialog);
}

}  // namespace tumbla
