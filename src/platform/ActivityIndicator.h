#pragma once

#include "platform/View.h"

namespace tumbla {

// A turning wheel that tells the player to wait while something loads. It shows only
// while it turns.
class ActivityIndicator : public View {
 public:
  using View::View;

  bool isAnimating() const { return animating_; }
  void startAnimating() {
    animating_ = true;
    animatingChanged();
  }
  void stopAnimating() {
    animating_ = false;
    animatingChanged();
  }

 protected:
  virtual void animatingChanged() {}

 private:
  bool animating_ = false;
};

}  // namespace tumbla
