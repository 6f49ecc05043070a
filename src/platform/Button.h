#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/View.h"

namespace tumbla {

// How a button draws its title: the font, and the colour normally and while pressed.
struct ButtonTitleStyle {
  std::string fontName;
  double fontSize = 15;
  Color color{1, 1, 1, 1};
  Color highlightedColor{1, 1, 1, 1};
};

// A button over other views, drawn by its background image with its title over it (or,
// without an image, by its title alone). It always has an accessible name, so that screen
// readers and assistive tools can find and press it.
class Button : public View {
 public:
  Button(Rect frame, std::optional<Image> background, std::string accessibleName)
      : View(frame),
        background_(std::move(background)),
        accessibleName_(std::move(accessibleName)) {}

  const std::optional<Image>& background() const { return background_; }
  const std::string& accessibleName() const { return accessibleName_; }

  // The text shown on the button; none by default.
  const std::string& title() const { return title_; }
  void setTitle(std::string title) {
    title_ = std::move(title);
    titleChanged();
  }

  // The platform's own look for the title unless set.
  const std::optional<ButtonTitleStyle>& titleStyle() const { return titleStyle_; }
  void setTitleStyle(ButtonTitleStyle style) {
    titleStyle_ = std::move(style);
    titleChanged();
  }

  // Whether Escape presses this button. The view it lies in is then a panel that holds
  // the keyboard while it is shown: keys reach the panel's controls, never the views
  // below it, and Escape closes it exactly as this button does.
  bool isCancelButton() const { return cancelButton_; }
  void setCancelButton(bool cancels) {
    cancelButton_ = cancels;
    cancelButtonChanged();
  }

  // What a touch (touch-up inside) does.
  void setAction(std::function<void()> action) { action_ = std::move(action); }
  // Runs the action, as a touch does.
  void sendAction() {
    if (action_) action_();
  }

 protected:
  virtual void titleChanged() {}
  virtual void cancelButtonChanged() {}

 private:
  std::optional<Image> background_;
  std::string accessibleName_;
  std::string title_;
  std::optional<ButtonTitleStyle> titleStyle_;
  bool cancelButton_ = false;
  std::function<void()> action_;
};

}  // namespace tumbla
