#include "platform/linux/GtkUserInterface.h"

#include <cairo.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "platform/linux/GtkActivityIndicatorView.h"
#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkButtonView.h"
#include "platform/linux/GtkImageView.h"
#include "platform/linux/GtkLabelView.h"
#include "platform/linux/GtkTextFieldView.h"
#include "platform/linux/GtkView.h"
#include "platform/linux/WebKitView.h"
#include "value/Value.h"

namespace tumbla {

namespace {

// The PNG bytes so far, and whether the snapshot is still wanted.
struct PngOutput {
  std::string bytes;
  const std::atomic<bool>& cancelled;
};

cairo_status_t appendToPng(void* closure, const unsigned char* data, unsigned int length) {
  auto& output = *static_cast<PngOutput*>(closure);
  // Failing the write is how an encoding is stopped part way.
  if (output.cancelled.load(std::memory_order_relaxed)) return CAIRO_STATUS_WRITE_ERROR;
  output.bytes.append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

using SurfacePtr = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

// On the encoder: the drawn pixels become PNG bytes, and the answer hands them over.
WorkerQueue::Answer encodeSnapshot(const SurfacePtr& surface, Size size,
                                   const UserInterface::SnapshotDone& done,
                                   const std::atomic<bool>& cancelled) {
  PngOutput output{{}, cancelled};
  output.bytes.reserve(static_cast<std::size_t>(size.width * size.height));
  if (cairo_surface_write_to_png_stream(surface.get(), appendToPng, &output) !=
      CAIRO_STATUS_SUCCESS) {
    return [done] { done(Failure{"could not encode the snapshot as PNG"}); };
  }
  auto png = std::make_shared<const std::string>(std::move(output.bytes));
  return [done, size, png] { done(Image{"", size, png}); };
}

std::string infoText(const Bundle& bundle, const char* key) {
  const Value* value = bundle.objectForInfoDictionaryKey(key);
  return value && value->stringIf() ? std::string(*value->stringIf()) : std::string();
}

}  // namespace

GtkUserInterface::GtkUserInterface(HostDispatcher& dispatcher, RunLoop& runLoop,
                                   UserInterfaceIdiom idiom, const Bundle& bundle,
                                   double scriptTimeoutSeconds, DesktopWindowOptions windowOptions,
                                   UserDefaults* windowMemory)
    : dispatcher_(dispatcher),
      idiom_(idiom),
      bundle_(bundle),
      scriptTimeoutSeconds_(scriptTimeoutSeconds),
      windowOptions_(windowOptions),
      windowMemory_(windowMemory),
      encoder_(runLoop) {}

Rect GtkUserInterface::mainScreenBounds() const {
  // The device held upright, as its screen reports itself.
  if (idiom_ == UserInterfaceIdiom::Pad) return {0, 0, 768, 1024};
  return {0, 0, 320, 480};
}

std::shared_ptr<Window> GtkUserInterface::makeWindow(Rect frame) {
  auto window = std::make_shared<GtkAppWindow>(dispatcher_, frame, windowMemory_);
  // The game's own name and icon, as its bundle gives them.
  std::string name = infoText(bundle_, "CFBundleName");
  window->setTitle(name.empty() ? "Tumbla" : name);
  std::string icon = infoText(bundle_, "CFBundleIconFile");
  if (std::optional<std::string> path =
          icon.empty() ? std::nullopt : bundle_.pathForResource(icon, "")) {
    window->setIconFile(*path);
  }
  if (windowOptions_.fullscreen) window->forceFullscreen();
  mainWindow_ = window;
  return window;
}

std::shared_ptr<View> GtkUserInterface::makeView(Rect frame) {
  return std::make_shared<GtkView<View>>(nullptr, frame);
}

std::shared_ptr<WebView> GtkUserInterface::makeWebView(Rect frame) {
  auto view = std::make_shared<WebKitView>(dispatcher_, frame, scriptTimeoutSeconds_);
  if (windowOptions_.developerTools) view->showDeveloperTools();
  return view;
}

void GtkUserInterface::deleteWebCookiesForHost(std::string_view host) {
  WebKitView::deleteCookiesForHost(host);
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

Subscription GtkUserInterface::snapshot(View& view, SnapshotDone done) {
  auto* backed = dynamic_cast<GtkBackedView*>(&view);
  GtkWidget* widget = backed ? backed->viewWidget().widget() : nullptr;
  int width = widget ? gtk_widget_get_allocated_width(widget) : 0;
  int height = widget ? gtk_widget_get_allocated_height(widget) : 0;
  if (!widget || !gtk_widget_get_realized(widget) || width <= 1 || height <= 1) {
    done(Failure{"the view is not on screen, so there is nothing to take a snapshot of"});
    return {};
  }
  // A layout still pending (a view just moved) is done first: a widget draws only where
  // it has been placed. Drawing must happen here, where the widgets live.
  if (GtkWidget* toplevel = gtk_widget_get_toplevel(widget); GTK_IS_CONTAINER(toplevel)) {
    gtk_container_check_resize(GTK_CONTAINER(toplevel));
  }
  // The image has the view's size in points, whatever size the window shows it at.
  int imageWidth = std::max(1, static_cast<int>(std::lround(view.bounds().width)));
  int imageHeight = std::max(1, static_cast<int>(std::lround(view.bounds().height)));
  auto surface = std::make_shared<SurfacePtr>(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, imageWidth, imageHeight),
      &cairo_surface_destroy);
  cairo_t* cr = cairo_create(surface->get());
  cairo_scale(cr, static_cast<double>(imageWidth) / width,
              static_cast<double>(imageHeight) / height);
  gtk_widget_draw(widget, cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface->get());

  Size size{static_cast<double>(imageWidth), static_cast<double>(imageHeight)};
  return encoder_.run([surface, size, done = std::move(done)](const std::atomic<bool>& cancelled) {
    return encodeSnapshot(*surface, size, done, cancelled);
  });
}

std::shared_ptr<ActivityIndicator> GtkUserInterface::makeActivityIndicator(Rect frame,
                                                                           Color color) {
  return std::make_shared<GtkActivityIndicatorView>(frame, color);
}

std::shared_ptr<Label> GtkUserInterface::makeLabel(Rect frame, std::string text, LabelStyle style) {
  return std::make_shared<GtkLabelView>(frame, std::move(text), std::move(style));
}

std::shared_ptr<TextField> GtkUserInterface::makeTextField(Rect frame, std::string accessibleName) {
  return std::make_shared<GtkTextFieldView>(dispatcher_, frame, std::move(accessibleName));
}

std::shared_ptr<Button> GtkUserInterface::makeButton(Rect frame, std::optional<Image> background,
                                                     std::string accessibleName) {
  return std::make_shared<GtkButtonView>(dispatcher_, frame, std::move(background),
                                         std::move(accessibleName));
}

Subscription GtkUserInterface::showAlert(Alert alert, AlertAnswer answer) {
  std::shared_ptr<GtkAppWindow> window = mainWindow();
  return GtkAlertDialog::show(dispatcher_, window ? window->toplevel() : nullptr, std::move(alert),
                              std::move(answer));
}

}  // namespace tumbla
