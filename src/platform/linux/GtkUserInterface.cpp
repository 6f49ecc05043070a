#include "platform/linux/GtkUserInterface.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkButtonView.h"
#include "platform/linux/GtkImageView.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/WebKitView.h"
#include "value/Value.h"

namespace tumbla {

namespace {

std::string infoText(const Bundle& bundle, const char* key) {
  const Value* value = bundle.objectForInfoDictionaryKey(key);
  return value && value->stringIf() ? std::string(*value->stringIf()) : std::string();
}

}  // namespace

GtkUserInterface::GtkUserInterface(UserInterfaceIdiom idiom, const Bundle& bundle,
                                   double scriptTimeoutSeconds, DesktopWindowOptions windowOptions)
    : idiom_(idiom),
      bundle_(bundle),
      scriptTimeoutSeconds_(scriptTimeoutSeconds),
      windowOptions_(windowOptions) {}

Rect GtkUserInterface::mainScreenBounds() const {
  // The device held upright, as its screen reports itself; the window shows it turned.
  if (idiom_ == UserInterfaceIdiom::Pad) return {0, 0, 768, 1024};
  return {0, 0, 320, 480};
}

std::shared_ptr<Window> GtkUserInterface::makeWindow(Rect frame) {
  auto window = std::make_shared<GtkAppWindow>(frame);
  // The game's own name and icon, as its bundle gives them.
  std::string name = infoText(bundle_, "CFBundleName");
  window->setTitle(name.empty() ? "Tumbla" : name);
  std::string icon = infoText(bundle_, "CFBundleIconFile");
  if (std::optional<std::string> path =
          icon.empty() ? std::nullopt : bundle_.pathForResource(icon, "")) {
    window->setIconFile(*path);
  }
  if (windowOptions_.fullscreen) window->setFullscreen(true);
  mainWindow_ = window;
  return window;
}

std::shared_ptr<View> GtkUserInterface::makeView(Rect frame) {
  return std::make_shared<GtkView<View>>(nullptr, frame);
}

std::shared_ptr<WebView> GtkUserInterface::makeWebView(Rect frame) {
  auto view = std::make_shared<WebKitView>(frame, scriptTimeoutSeconds_);
  if (windowOptions_.developerTools) view->showDeveloperTools();
  return view;
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

std::shared_ptr<Button> GtkUserInterface::makeButton(Rect frame, std::optional<Image> background,
                                                     std::string accessibleName) {
  return std::make_shared<GtkButtonView>(frame, std::move(background), std::move(accessibleName));
}

Subscription GtkUserInterface::showAlert(Alert alert, AlertAnswer answer) {
  std::shared_ptr<GtkAppWindow> window = mainWindow();
  return GtkAlertDialog::show(window ? window->toplevel() : nullptr, std::move(alert),
                              std::move(answer));
}

}  // namespace tumbla
