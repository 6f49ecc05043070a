#pragma once

#include <gtk/gtk.h>

#include <utility>

#include "platform/View.h"
#include "platform/linux/ViewWidget.h"

namespace tumbla {

// What every view of this platform has: its widget.
class GtkBackedView {
 public:
  virtual ~GtkBackedView() = default;
  virtual ViewWidget& viewWidget() = 0;
};

// A platform view class (View, Window, WebView, ImageView) mirrored onto a ViewWidget:
// each change of the view's state reaches the widget through the view's hooks.
template <class Base>
class GtkView : public Base, public GtkBackedView {
 public:
  template <class... Args>
  explicit GtkView(GtkWidget* content, Args&&... args)
      : Base(std::forward<Args>(args)...), widget_(content) {
    widget_.place(this->frame(), this->transform());
  }

  ViewWidget& viewWidget() override { return widget_; }

 protected:
  void frameChanged() override { widget_.place(this->frame(), this->transform()); }
  void transformChanged() override { widget_.place(this->frame(), this->transform()); }
  void alphaChanged() override { widget_.setAlpha(this->alpha()); }
  void hiddenChanged() override { widget_.setHidden(this->isHidden()); }
  void backgroundChanged() override {
    widget_.setBackground({this->backgroundColor(), this->cornerRadius(), this->borderColor()});
  }
  void subviewAdded(View& view) override {
    // Views of another platform have no widget to show.
    if (auto* backed = dynamic_cast<GtkBackedView*>(&view)) widget_.addChild(backed->viewWidget());
  }
  void subviewRemoved(View& view) override {
    if (auto* backed = dynamic_cast<GtkBackedView*>(&view)) {
      widget_.removeChild(backed->viewWidget());
    }
  }

 private:
  ViewWidget widget_;
};

}  // namespace tumbla
