#include "platform/linux/GtkAlertBackdrop.h"

#include "platform/Log.h"
#include "platform/linux/CairoShapes.h"

namespace tumbla {

namespace {

struct Painter {
  cairo_pattern_t* pattern;
  AlertBackdrop backdrop;

  ~Painter() { cairo_pattern_destroy(pattern); }
};

gboolean paint(GtkWidget* widget, cairo_t* cr, gpointer data) {
  const auto& painter = *static_cast<Painter*>(data);
  double width = gtk_widget_get_allocated_width(widget) - painter.backdrop.inset.width;
  double height = gtk_widget_get_allocated_height(widget) - painter.backdrop.inset.height;
  if (width > 0 && height > 0) {
    addRoundedRectangle(cr, painter.backdrop.inset.width / 2, painter.backdrop.inset.height / 2,
                        width, height, painter.backdrop.cornerRadius);
    cairo_set_source(cr, painter.pattern);
    cairo_fill(cr);
  }
  // The texts and buttons draw after, above the backdrop.
  return FALSE;
}

void release(gpointer data, GClosure*) {
  delete static_cast<Painter*>(data);
}

}  // namespace

void GtkAlertBackdrop::attach(GtkDialog* dialog, const AlertBackdrop& backdrop) {
  cairo_surface_t* tile = cairo_image_surface_create_from_png(backdrop.pattern.path.c_str());
  if (cairo_surface_status(tile) != CAIRO_STATUS_SUCCESS) {
    logLine("can't read the alert's background " + backdrop.pattern.path);
    cairo_surface_destroy(tile);
    return;
  }
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(tile);
  cairo_surface_destroy(tile);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_REPEAT);
  // The dialog's box holds the texts and the row of buttons; the pattern lies below them.
  g_signal_connect_data(gtk_bin_get_child(GTK_BIN(dialog)), "draw", G_CALLBACK(paint),
                        new Painter{pattern, backdrop}, release, GConnectFlags{});
}

}  // namespace tumbla
