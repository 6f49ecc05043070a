#include "platform/Window.h"

#include <algorithm>

namespace tumbla {

void Window::setRootView(std::shared_ptr<View> view) {
  rootView_ = view;
  // The interface only ever turns to landscape, and the root view turns with it: it
  // fills the window with the longer side across, whichever way the screen is held.
  Rect window = bounds();
  view->setFrame(
      {0, 0, std::max(window.width, window.height), std::min(window.width, window.height)});
  addSubview(std::move(view));
}

void Window::motionEnded(const MotionEvent& event) {
  if (motionHandler_) motionHandler_(*this, event);
}

}  // namespace tumbla
