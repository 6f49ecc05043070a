#pragma once

#include <glib.h>

#include <deque>
#include <functional>
#include <memory>
#include <type_traits>

namespace tumbla {

// The one way into the host from the toolkit: every signal, timer and hand-off that
// reaches host code passes `dispatch`, and so do the host's own long operations (the
// launch). Main thread only; the Linux platform owns one, and everything that dispatches
// to it is made after it and gone before it.
//
// Script evaluation here is synchronous only because the caller iterates the main loop
// until the engine answers, and that nested iteration also dispatches whatever else the
// loop has: the page's next command, a finished load, a focus change. The host was
// written for a platform whose evaluation does not run the loop, so the dispatcher holds
// what arrives while the host is busy and dispatches it afterwards, one at a time, in
// arrival order. Debug builds assert that no host code is entered while a script call is
// waiting: a toolkit callback that skipped the dispatcher would trip it.
class HostDispatcher {
 public:
  HostDispatcher() = default;
  // Held work is dropped, never run.
  ~HostDispatcher();
  HostDispatcher(const HostDispatcher&) = delete;
  HostDispatcher& operator=(const HostDispatcher&) = delete;

  // The host is busy for as long as it lives.
  class [[nodiscard]] Busy {
   public:
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
    ~Busy();

   private:
    friend class HostDispatcher;
    Busy(HostDispatcher& dispatcher, bool scriptCall);
    HostDispatcher& dispatcher_;
    bool scriptCall_;
  };

  // Runs `task` as a piece of host work of its own: at once when the host is free and
  // nothing is held, otherwise from the main loop after everything that arrived before it.
  void dispatch(std::function<void()> task);
  // Dispatches a call of `operation` on `object`, unless the object is gone by then.
  template <class Object>
  void dispatchTo(std::weak_ptr<Object> object, void (std::type_identity_t<Object>::*operation)()) {
    dispatch([object = std::move(object), operation] {
      if (auto alive = object.lock()) ((*alive).*operation)();
    });
  }
  // Runs `task` from the main loop after everything dispatched before it: never at once.
  void post(std::function<void()> task);

  // Host work entered directly rather than dispatched (the launch).
  Busy enterHost();
  // A synchronous script call waiting for the engine's answer while the loop turns.
  Busy waitForScript();

  bool isBusy() const { return depth_ > 0; }

  // What the main thread is doing, as far as the host goes.
  enum class Activity { Idle, Host, ScriptCall };
  // Told of every change of activity (a measurement); nothing watches by default.
  using Watcher = std::function<void(Activity now)>;
  void setWatcher(Watcher watcher) { watcher_ = std::move(watcher); }

 private:
  Activity activity() const;
  void enter(bool scriptCall);
  void leave(bool scriptCall);
  void scheduleDrain();
  static gboolean drain(gpointer self);

  int depth_ = 0;
  int scriptCallsWaiting_ = 0;
  std::deque<std::function<void()>> held_;
  guint drainSource_ = 0;
  Watcher watcher_;
};

}  // namespace tumbla
