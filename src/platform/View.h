#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tumbla {

struct Size {
  double width = 0;
  double height = 0;
  bool operator==(const Size&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const Rect&) const = default;
};

// A colour with its red, green, blue and alpha between 0 and 1.
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 0;
  bool operator==(const Color&) const = default;
};

// A 2D affine transform [a b; c d] + (tx, ty), as in the drawing API.
struct AffineTransform {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  static AffineTransform rotation(double radians);
  // Translation applied before this transform (in its own coordinate space).
  AffineTransform translatedBy(double x, double y) const;
  bool isIdentity() const { return *this == AffineTransform{}; }
  bool operator==(const AffineTransform&) const = default;
};

// An image: a resource of the bundle found by name (its path), or PNG bytes held in
// memory (a snapshot), shared rather than copied.
struct Image {
  std::string path;
  Size size;
  std::shared_ptr<const std::string> png;
};

// A rectangle on screen. The view keeps its own state; a platform subclass mirrors each
// change onto its widget in the `...Changed` hooks.
class View {
 public:
  explicit View(Rect frame = {}) : frame_(frame) {}
  virtual ~View() = default;
  View(const View&) = delete;
  View& operator=(const View&) = delete;

  Rect frame() const { return frame_; }
  void setFrame(Rect frame);
  Rect bounds() const { return {0, 0, frame_.width, frame_.height}; }
  double alpha() const { return alpha_; }
  void setAlpha(double alpha);
  bool isHidden() const { return hidden_; }
  void setHidden(bool hidden);
  const AffineTransform& transform() const { return transform_; }
  void setTransform(const AffineTransform& transform);
  // Clear (nothing drawn) unless set.
  const Color& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(const Color& color);
  // The background's corners are rounded with this radius; square (0) unless set.
  double cornerRadius() const { return cornerRadius_; }
  void setCornerRadius(double radius);
  // A line one point wide just inside the view's edges, above the background and below
  // the content; clear (none) unless set.
  const Color& borderColor() const { return borderColor_; }
  void setBorderColor(const Color& color);

  // Later subviews lie above earlier ones; adding a view that is already a subview brings
  // it to the front.
  void addSubview(std::shared_ptr<View> view);
  // Takes `view` out of this view's subviews; nothing when it is not one of them.
  void removeSubview(const View& view);
  const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }

 protected:
  virtual void frameChanged() {}
  virtual void alphaChanged() {}
  virtual void hiddenChanged() {}
  virtual void transformChanged() {}
  // The background colour, its corners or the border changed.
  virtual void backgroundChanged() {}
  virtual void subviewAdded(View& /*view*/) {}
  virtual void subviewRemoved(View& /*view*/) {}

 private:
  Rect frame_;
  double alpha_ = 1.0;
  bool hidden_ = false;
  AffineTransform transform_;
  Color backgroundColor_;
  double cornerRadius_ = 0;
  Color borderColor_;
  std::vector<std::shared_ptr<View>> subviews_;
};

class ImageView : public View {
 public:
  explicit ImageView(std::optional<Image> image);
  const std::optional<Image>& image() const { return image_; }
  // Shows another image; the view keeps its frame.
  void setImage(std::optional<Image> image);

 protected:
  virtual void imageChanged() {}

 private:
  std::optional<Image> image_;
};

}  // namespace tumbla
