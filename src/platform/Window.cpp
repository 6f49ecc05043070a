#include "platform/Window.h"

namespace tumbla {

void Window::setRootView(std::shared_ptr<View> view) {
  rootView_ = view;
  // The window has the page's shape (landscape for the bundled game, which turns the
  // device's upright screen), and the root view fills it.
  view->setFrame(bounds());
  addSubview(std::move(view));
}

void Window::motionEnded(const MotionEvent& event) {
  if (motionHandler_) motionHandler_(*this, event);
}

}  // namespace tumbla
