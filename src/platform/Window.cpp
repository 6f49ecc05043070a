#include "platform/Window.h"

namespace tumbla {

void Window::setRootView(std::shared_ptr<View> view) {
  rootView_ = view;
  view->setFrame(bounds());
  addSubview(std::move(view));
}

void Window::motionEnded(const MotionEvent& event) {
  if (motionHandler_) motionHandler_(*this, event);
}

}  // namespace tumbla
