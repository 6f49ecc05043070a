#pragma once

#include "platform/ActivityIndicator.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// An activity indicator as a GTK spinner drawn in one colour.
class GtkActivityIndicatorView : public GtkView<ActivityIndicator> {
 public:
  GtkActivityIndicatorView(Rect frame, const Color& color);

 protected:
  void animatingChanged() override;
  void hiddenChanged() override;

 private:
  GtkWidget* spinner() const;
};

}  // namespace tumbla
