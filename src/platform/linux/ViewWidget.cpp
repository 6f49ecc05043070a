#include "platform/linux/ViewWidget.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/linux/CairoShapes.h"

namespace tumbla {

namespace {

constexpr char kPlacementKey[] = "tumbla-placement";

gboolean positionChild(GtkOverlay*, GtkWidget* child, GdkRectangle* allocation, gpointer) {
  auto* placement = static_cast<GdkRectangle*>(g_object_get_data(G_OBJECT(child), kPlacementKey));
  if (!placement) return FALSE;
  *allocation = *placement;
  return TRUE;
}

struct Scaling {
  double scale = 1;
  std::vector<ViewWidget*> widgets;
};

Scaling& scaling() {
  static Scaling shared;
  return shared;
}

GdkRectangle toPixels(const Rect& rect) {
  auto x = static_cast<int>(std::lround(rect.x));
  auto y = static_cast<int>(std::lround(rect.y));
  return {x, y, static_cast<int>(std::lround(rect.x + rect.width)) - x,
          static_cast<int>(std::lround(rect.y + rect.height)) - y};
}

void setSource(cairo_t* cr, const Color& color) {
  cairo_set_source_rgba(cr, color.red, color.green, color.blue, color.alpha);
}

gboolean drawBackground(GtkWidget* widget, cairo_t* cr, gpointer self) {
  const ViewWidget::Background& background = static_cast<ViewWidget*>(self)->background();
  double scale = ViewWidget::scale();
  double width = gtk_widget_get_allocated_width(widget);
  double height = gtk_widget_get_allocated_height(widget);
  if (background.fill.alpha > 0) {
    setSource(cr, background.fill);
    addRoundedRectangle(cr, 0, 0, width, height, background.cornerRadius * scale);
    cairo_fill(cr);
  }
  if (background.border.alpha > 0) {
    // The line's middle half a point inside each edge, so that all of it lies inside.
    setSource(cr, background.border);
    cairo_set_line_width(cr, scale);
    addRoundedRectangle(cr, scale / 2, scale / 2, width - scale, height - scale,
                        background.cornerRadius * scale);
    cairo_stroke(cr);
  }
  // The content and the children draw after, above the background.
  return FALSE;
}

}  // namespace

Rect visualRect(const Rect& frame, const AffineTransform& transform) {
  double centerX = frame.x + frame.width / 2 + transform.tx;
  double centerY = frame.y + frame.height / 2 + transform.ty;
  double halfWidth =
      (std::abs(transform.a) * frame.width + std::abs(transform.c) * frame.height) / 2;
  double halfHeight =
      (std::abs(transform.b) * frame.width + std::abs(transform.d) * frame.height) / 2;
  return {centerX - halfWidth, centerY - halfHeight, 2 * halfWidth, 2 * halfHeight};
}

ViewWidget::ViewWidget(GtkWidget* content) : overlay_(g_object_ref_sink(gtk_overlay_new())) {
  scaling().widgets.push_back(this);
  // Each view shows or hides itself; showing the window must not reveal hidden views.
  gtk_widget_set_no_show_all(overlay_, TRUE);
  g_signal_connect(overlay_, "get-child-position", G_CALLBACK(positionChild), nullptr);
  if (content) {
    gtk_container_add(GTK_CONTAINER(overlay_), content);
    gtk_widget_show(content);
  }
  gtk_widget_show(overlay_);
}

ViewWidget::~ViewWidget() {
  std::erase(scaling().widgets, this);
  gtk_widget_destroy(overlay_);
  g_object_unref(overlay_);
}

void ViewWidget::place(const Rect& frame, const AffineTransform& transform) {
  frame_ = frame;
  transform_ = transform;
  applyPlacement();
}

double ViewWidget::scale() {
  return scaling().scale;
}

void ViewWidget::setScale(double scale) {
  Scaling& shared = scaling();
  if (scale <= 0 || scale == shared.scale) return;
  shared.scale = scale;
  for (ViewWidget* widget : shared.widgets) widget->applyPlacement();
  // A listener may make or drop views: each is called only while its widget lives.
  std::vector<ViewWidget*> widgets = shared.widgets;
  for (ViewWidget* widget : widgets) {
    bool alive =
        std::find(shared.widgets.begin(), shared.widgets.end(), widget) != shared.widgets.end();
    if (alive && widget->scaleListener_) widget->scaleListener_(scale);
  }
}

void ViewWidget::applyPlacement() {
  double scale = scaling().scale;
  Rect shown = visualRect(frame_, transform_);
  GdkRectangle placement =
      toPixels({shown.x * scale, shown.y * scale, shown.width * scale, shown.height * scale});
  g_object_set_data_full(G_OBJECT(overlay_), kPlacementKey, g_memdup2(&placement, sizeof placement),
                         g_free);
  gtk_widget_set_size_request(overlay_, std::max(placement.width, 0),
                              std::max(placement.height, 0));
  gtk_widget_queue_resize(overlay_);
}

void ViewWidget::setAlpha(double alpha) {
  gtk_widget_set_opacity(overlay_, alpha);
  // Views this transparent are skipped by touch handling.
  transparent_ = alpha < 0.01;
  applyPassThrough();
}

void ViewWidget::setBackground(const Background& background) {
  // Views without a background (most of them) draw nothing of their own.
  if (!drawsBackground_ && (background.fill.alpha != 0 || background.border.alpha != 0)) {
    g_signal_connect(overlay_, "draw", G_CALLBACK(drawBackground), this);
    drawsBackground_ = true;
  }
  background_ = background;
  gtk_widget_queue_draw(overlay_);
}

void ViewWidget::setHidden(bool hidden) {
  gtk_widget_set_visible(overlay_, !hidden);
}

void ViewWidget::setTakesInput(bool takesInput) {
  takesInput_ = takesInput;
  applyPassThrough();
}

void ViewWidget::addChild(ViewWidget& child) {
  gtk_overlay_add_overlay(GTK_OVERLAY(overlay_), child.overlay_);
  child.applyPassThrough();
}

void ViewWidget::removeChild(ViewWidget& child) {
  // The child keeps its own reference to its overlay, so it survives leaving the parent.
  if (gtk_widget_get_parent(child.overlay_) == overlay_) {
    gtk_container_remove(GTK_CONTAINER(overlay_), child.overlay_);
  }
}

void ViewWidget::applyPassThrough() {
  GtkWidget* parent = gtk_widget_get_parent(overlay_);
  if (!GTK_IS_OVERLAY(parent)) return;
  gtk_overlay_set_overlay_pass_through(GTK_OVERLAY(parent), overlay_, !takesInput_ || transparent_);
}

}  // namespace tumbla
