#pragma once

#include <functional>
#include <memory>

#include "platform/View.h"

namespace tumbla {

enum class EventType { Touches = 0, Motion = 1, RemoteControl = 2 };
enum class EventSubtype { None = 0, MotionShake = 1 };

struct MotionEvent {
  EventType type = EventType::Motion;
  EventSubtype subtype = EventSubtype::None;
};

// The application's window: the root of the views shown on screen.
class Window : public View {
 public:
  using View::View;
  using MotionHandler = std::function<void(Window&, const MotionEvent&)>;

  // The view that fills the window, as a root view controller's view does.
  void setRootView(std::shared_ptr<View> view);
  const std::shared_ptr<View>& rootView() const { return rootView_; }

  virtual void makeKeyAndVisible() = 0;

  // The platform reports device motion here; what it means is up to the handler.
  void setMotionHandler(MotionHandler handler) { motionHandler_ = std::move(handler); }
  void motionEnded(const MotionEvent& event);

 private:
  std::shared_ptr<View> rootView_;
  MotionHandler motionHandler_;
};

}  // namespace tumbla
