#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tumbla {

// A modal question with a title, a message and buttons, answered by the index of the
// button pressed. Each button's title is its accessible name.
struct Alert {
  std::string title;
  std::string message;
  std::vector<std::string> buttons;
  // The button that dismissing the alert otherwise (closing its window, Escape) counts
  // as; without one such a dismissal answers nothing.
  std::optional<int> cancelButtonIndex;
};

using AlertAnswer = std::function<void(int buttonIndex)>;

}  // namespace tumbla
