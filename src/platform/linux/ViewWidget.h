#pragma once

#include <gtk/gtk.h>

#include <functional>

#include "platform/View.h"

namespace tumbla {

// The GTK side of one view: an overlay whose optional content widget fills the view and
// whose children (the subviews) lie above it at their frames, later ones above earlier
// ones. Child windows of an overlay stack reliably above the web engine's own window,
// which plain containers do not guarantee.
class ViewWidget {
 public:
  // Takes a reference to `content`, which may be null for a plain view.
  explicit ViewWidget(GtkWidget* content);
  ~ViewWidget();
  ViewWidget(const ViewWidget&) = delete;
  ViewWidget& operator=(const ViewWidget&) = delete;

  GtkWidget* widget() const { return overlay_; }

  void place(const Rect& frame, const AffineTransform& transform);

  // How many screen pixels a point of the views takes. The window scales everything it
  // shows by one factor, to fill itself at the views' aspect ratio.
  static double scale();
  static void setScale(double scale);
  // Called once the scale has changed and every view has been placed anew, for content
  // that draws itself at the scale (the web engine's zoom, images).
  void setScaleListener(std::function<void(double)> listener) {
    scaleListener_ = std::move(listener);
  }
  void setAlpha(double alpha);
  void setHidden(bool hidden);
  // What is drawn below the content and the children: the fill, whose corners may be
  // rounded, and a line one point wide just inside the edges.
  struct Background {
    Color fill;
    double cornerRadius = 0;
    Color border;
  };
  void setBackground(const Background& background);
  const Background& background() const { return background_; }
  // Views that ignore touches (image views, and any view once transparent) let the
  // pointer through to what lies below, as on the mobile system.
  void setTakesInput(bool takesInput);
  void addChild(ViewWidget& child);
  void removeChild(ViewWidget& child);

 private:
  void applyPassThrough();
  void applyPlacement();

  GtkWidget* overlay_;
  Background background_;
  Rect frame_;
  AffineTransform transform_;
  std::function<void(double)> scaleListener_;
  bool drawsBackground_ = false;
  bool takesInput_ = true;
  bool transparent_ = false;
};

// The rectangle a view with this frame and transform covers in its parent. The transform
// acts about the frame's centre, as views' transforms do: a quarter turn swaps width and
// height, and other rotations give their bounding box.
Rect visualRect(const Rect& frame, const AffineTransform& transform);

}  // namespace tumbla
