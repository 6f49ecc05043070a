#include "platform/linux/GtkImageView.h"

#include <cmath>

#include "platform/Log.h"

namespace tumbla {

namespace {

// The right-angle turn a transform makes, if it makes one.
std::optional<GdkPixbufRotation> rightAngleTurn(const AffineTransform& transform) {
  auto near = [](double value, double target) { return std::abs(value - target) < 1e-6; };
  if (near(transform.a, 0) && near(transform.d, 0) && near(transform.c, -transform.b)) {
    // With y growing downwards, a negative angle (b = -1) turns counter-clockwise.
    if (near(transform.b, -1)) return GDK_PIXBUF_ROTATE_COUNTERCLOCKWISE;
    if (near(transform.b, 1)) return GDK_PIXBUF_ROTATE_CLOCKWISE;
  }
  if (near(transform.a, -1) && near(transform.d, -1) && near(transform.b, 0) &&
      near(transform.c, 0)) {
    return GDK_PIXBUF_ROTATE_UPSIDEDOWN;
  }
  return std::nullopt;
}

}  // namespace

GtkImageView::GtkImageView(std::optional<Image> image)
    : GtkView<ImageView>(gtk_image_new(), std::move(image)) {
  // Image views leave touches to what lies below them.
  viewWidget().setTakesInput(false);
  loadImage();
  render();
}

void GtkImageView::loadImage() {
  if (original_) g_object_unref(original_);
  original_ = nullptr;
  const std::optional<Image>& shown = image();
  if (!shown) return;
  GError* error = nullptr;
  if (shown->png) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    bool written = gdk_pixbuf_loader_write(
        loader, reinterpret_cast<const guchar*>(shown->png->data()), shown->png->size(), &error);
    // A loader is always closed, even after a failed write, or it complains when freed.
    bool closed = gdk_pixbuf_loader_close(loader, written ? &error : nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (written && closed && pixbuf) original_ = GDK_PIXBUF(g_object_ref(pixbuf));
    g_object_unref(loader);
  } else {
    original_ = gdk_pixbuf_new_from_file(shown->path.c_str(), &error);
  }
  if (!original_) {
    logLine("can't show the image " + (shown->png ? std::string("in memory") : shown->path) + ": " +
            (error ? error->message : "unreadable"));
  }
  if (error) g_error_free(error);
}

void GtkImageView::imageChanged() {
  loadImage();
  render();
}

GtkImageView::~GtkImageView() {
  if (original_) g_object_unref(original_);
}

void GtkImageView::frameChanged() {
  GtkView<ImageView>::frameChanged();
  render();
}

void GtkImageView::transformChanged() {
  GtkView<ImageView>::transformChanged();
  render();
}

void GtkImageView::render() {
  GtkWidget* content = gtk_bin_get_child(GTK_BIN(viewWidget().widget()));
  auto width = static_cast<int>(std::lround(frame().width));
  auto height = static_cast<int>(std::lround(frame().height));
  if (!original_ || width <= 0 || height <= 0) {
    gtk_image_clear(GTK_IMAGE(content));
    return;
  }
  GdkPixbuf* sized = gdk_pixbuf_scale_simple(original_, width, height, GDK_INTERP_BILINEAR);
  if (std::optional<GdkPixbufRotation> turn = rightAngleTurn(transform())) {
    GdkPixbuf* turned = gdk_pixbuf_rotate_simple(sized, *turn);
    g_object_unref(sized);
    sized = turned;
  }
  gtk_image_set_from_pixbuf(GTK_IMAGE(content), sized);
  g_object_unref(sized);
}

}  // namespace tumbla
