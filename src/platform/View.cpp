#include "platform/View.h"

#include <algorithm>
#include <cmath>

namespace tumbla {

AffineTransform AffineTransform::rotation(double radians) {
  double cosine = std::cos(radians);
  double sine = std::sin(radians);
  return {cosine, sine, -sine, cosine, 0, 0};
}

AffineTransform AffineTransform::translatedBy(double x, double y) const {
  AffineTransform result = *this;
  result.tx += a * x + c * y;
  result.ty += b * x + d * y;
  return result;
}

void View::setFrame(Rect frame) {
  frame_ = frame;
  frameChanged();
}

void View::setAlpha(double alpha) {
  alpha_ = alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha);
  alphaChanged();
}

void View::setHidden(bool hidden) {
  hidden_ = hidden;
  hiddenChanged();
}

void View::setTransform(const AffineTransform& transform) {
  transform_ = transform;
  transformChanged();
}

void View::setBackgroundColor(const Color& color) {
  backgroundColor_ = color;
  backgroundChanged();
}

void View::setCornerRadius(double radius) {
  cornerRadius_ = radius < 0 ? 0 : radius;
  backgroundChanged();
}

void View::setBorderColor(const Color& color) {
  borderColor_ = color;
  backgroundChanged();
}

void View::addSubview(std::shared_ptr<View> view) {
  removeSubview(*view);
  View& added = *view;
  subviews_.push_back(std::move(view));
  subviewAdded(added);
}

void View::removeSubview(const View& view) {
  auto found =
      std::find_if(subviews_.begin(), subviews_.end(),
                   [&](const std::shared_ptr<View>& subview) { return subview.get() == &view; });
  if (found == subviews_.end()) return;
  std::shared_ptr<View> removed = std::move(*found);
  subviews_.erase(found);
  subviewRemoved(*removed);
}

ImageView::ImageView(std::optional<Image> image)
    : View(image ? Rect{0, 0, image->size.width, image->size.height} : Rect{}),
      image_(std::move(image)) {}

void ImageView::setImage(std::optional<Image> image) {
  image_ = std::move(image);
  imageChanged();
}

}  // namespace tumbla
