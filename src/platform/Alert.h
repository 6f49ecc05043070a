#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/View.h"

namespace tumbla {

// A patterned background behind an alert's texts and buttons: the image repeated over a
// rectangle with rounded corners, `inset` narrower and lower than the alert, centred on it.
struct AlertBackdrop {
  Image pattern;
  double cornerRadius = 0;
  Size inset;
};

// A modal question with a title, a message and buttons, answered by the index of the
// button pressed. Each button's title is its accessible name.
struct Alert {
  std::string title;
  std::string message;
  std::vector<std::string> buttons;
  // The button that dismissing the alert otherwise (closing its window, Escape) counts
  // as; without one such a dismissal answers nothing.
  std::optional<int> cancelButtonIndex;
  // The platform's own background unless set.
  std::optional<AlertBackdrop> backdrop = std::nullopt;
};

using AlertAnswer = std::function<void(int buttonIndex)>;

}  // namespace tumbla
