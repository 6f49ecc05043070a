#pragma once

#include <string>
#include <utility>

#include "platform/View.h"

namespace tumbla {

// How a label draws its text.
struct LabelStyle {
  std::string fontName;
  double fontSize = 17;
  Color textColor{0, 0, 0, 1};
  // At most this many lines, wrapped at words; 0 for any number.
  int lines = 1;
};

// A line or a few of text that the player reads but cannot change.
class Label : public View {
 public:
  Label(Rect frame, std::string text, LabelStyle style)
      : View(frame), text_(std::move(text)), style_(std::move(style)) {}

  const std::string& text() const { return text_; }
  void setText(std::string text) {
    text_ = std::move(text);
    textChanged();
  }
  const LabelStyle& style() const { return style_; }

 protected:
  virtual void textChanged() {}

 private:
  std::string text_;
  LabelStyle style_;
};

}  // namespace tumbla
