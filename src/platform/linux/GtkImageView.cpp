#include "platform/linux/GtkImageView.h"

#include <cmath>

#include "platform/Log.h"
#include "platform/linux/GLibPointers.h"

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
  viewWidget().setScaleListener([this](double) { render(); });
  loadImage();
  render();
}

void GtkImageView::loadImage() {
  original_.reset();
  const std::optional<Image>& shown = image();
  if (!shown) return;
  GErrorSlot error;
  if (shown->png) {
    GObjectPtr<GdkPixbufLoader> loader(gdk_pixbuf_loader_new());
    bool written =
        gdk_pixbuf_loader_write(loader.get(), reinterpret_cast<const guchar*>(shown->png->data()),
                                shown->png->size(), error.out());
    // A loader is always closed, even after a failed write, or it complains when freed.
    bool closed = gdk_pixbuf_loader_close(loader.get(), written ? error.out() : nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    if (written && closed && pixbuf) original_.reset(GDK_PIXBUF(g_object_ref(pixbuf)));
  } else {
    original_.reset(gdk_pixbuf_new_from_file(shown->path.c_str(), error.out()));
  }
  if (!original_) {
    logLine("can't show the image " + (shown->png ? std::string("in memory") : shown->path) + ": " +
            error.message());
  }
}

void GtkImageView::imageChanged() {
  loadImage();
  render();
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
  // Drawn at the window's scale, not stretched from a smaller picture.
  auto width = static_cast<int>(std::lround(frame().width * ViewWidget::scale()));
  auto height = static_cast<int>(std::lround(frame().height * ViewWidget::scale()));
  if (!original_ || width <= 0 || height <= 0) {
    gtk_image_clear(GTK_IMAGE(content));
    return;
  }
  GObjectPtr<GdkPixbuf> sized(
      gdk_pixbuf_scale_simple(original_.get(), width, height, GDK_INTERP_BILINEAR));
  if (std::optional<GdkPixbufRotation> turn = rightAngleTurn(transform())) {
    sized.reset(gdk_pixbuf_rotate_simple(sized.get(), *turn));
  }
  gtk_image_set_from_pixbuf(GTK_IMAGE(content), sized.get());
}

}  // namespace tumbla
