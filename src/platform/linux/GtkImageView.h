#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/linux/GLibPointers.h"
#include "platform/linux/GtkView.h"

namespace tumbla {

// An image view: the image stretched to the view's bounds (as the mobile image view does
// by default), turned when the view's transform is a right-angle rotation. Other
// rotations and any scaling in the transform are approximated: the view covers the
// transformed bounding box and the image stays upright at its bounds' size, centred in it.
class GtkImageView : public GtkView<ImageView> {
 public:
  explicit GtkImageView(std::optional<Image> image);

 protected:
  void frameChanged() override;
  void transformChanged() override;
  void imageChanged() override;

 private:
  // Reads the image (a file, or PNG bytes in memory) into `original_`.
  void loadImage();
  void render();

  GObjectPtr<GdkPixbuf> original_;
};

}  // namespace tumbla
