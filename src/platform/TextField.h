#pragma once

#include <functional>
#include <string>
#include <utility>

#include "platform/View.h"

namespace tumbla {

// A one-line field the player types into, with a rounded border, a "Done" return key and
// a clear button while editing. It always has an accessible name.
class TextField : public View {
 public:
  TextField(Rect frame, std::string accessibleName)
      : View(frame), accessibleName_(std::move(accessibleName)) {}

  const std::string& accessibleName() const { return accessibleName_; }
  // What the player typed (or the host set).
  virtual std::string text() const = 0;
  virtual void setText(const std::string& text) = 0;
  // Ends editing: the field gives up the keyboard.
  virtual void resignFirstResponder() = 0;

  // What the return key does.
  void setShouldReturn(std::function<bool()> handler) { shouldReturn_ = std::move(handler); }
  // The return key, as the player presses it.
  void pressReturn() {
    if (shouldReturn_) shouldReturn_();
  }

 private:
  std::string accessibleName_;
  std::function<bool()> shouldReturn_;
};

}  // namespace tumbla
