#pragma once

#include <glib.h>

#include <cstdint>
#include <functional>

#include "platform/linux/HostDispatcher.h"
#include "value/Value.h"

namespace tumbla {

// Measures how long the main loop goes without looking for events: each turn, from the
// moment its wait for events ends to the moment it waits again, and how much of that turn
// was host code (dispatched work, not counting the time a synchronous script call waits for
// the engine, which lets the loop turn meanwhile). A turn longer than a frame is a frame
// the player sees frozen.
//
// The time before the loop first waits, the launch, is no stall: no frame has been drawn
// yet. It is reported apart. While a probe lives it reports, through `sink`:
// - {"event": "stall", "ms", "hostMs", "hostCpuMs"} for each later turn longer than the
//   threshold. `hostMs` is wall time; `hostCpuMs`, the main thread's processor time in it,
//   tells work from waiting: for the thread being preempted on a busy machine, or blocked
//   in a system call;
// - {"event": "script-call", "ms"} for each synchronous script call that waited longer;
// - when it goes, {"event": "stall-summary", "turns", "longestMs", "longestHostMs",
//   "longestHostCpuMs",
//   "scriptCalls", "longestScriptCallMs", "scriptCallMs" (all calls together), "launchMs",
//   "launchHostMs"}.
// It wraps the default main context's poll function and watches the dispatcher; nothing of
// it runs when none is made. One at a time, on the main thread.
class StallProbe {
 public:
  using Sink = std::function<void(const Dictionary& event)>;
  static constexpr double kFrameSeconds = 0.016;

  StallProbe(HostDispatcher& dispatcher, Sink sink, double thresholdSeconds = kFrameSeconds);
  ~StallProbe();
  StallProbe(const StallProbe&) = delete;
  StallProbe& operator=(const StallProbe&) = delete;

 private:
  static gint poll(GPollFD* descriptors, guint count, gint timeout);
  // Adds the time since the last mark to what the main thread was doing.
  void mark(std::int64_t now);
  // The main thread's processor time, in microseconds.
  static std::int64_t cpuTime();
  void activityChanged(HostDispatcher::Activity now);
  void turnEnded(std::int64_t now);

  HostDispatcher& dispatcher_;
  Sink sink_;
  std::int64_t thresholdMicroseconds_;
  GPollFunc previousPoll_;

  HostDispatcher::Activity activity_ = HostDispatcher::Activity::Idle;
  // Monotonic microseconds: when the current turn began, when time was last shared out,
  // when the waiting script call began.
  std::int64_t turnStart_;
  std::int64_t lastMark_;
  std::int64_t lastCpuMark_;
  std::int64_t scriptCallStart_ = 0;
  std::int64_t turnHost_ = 0;
  std::int64_t turnHostCpu_ = 0;

  bool launched_ = false;
  std::int64_t launch_ = 0;
  std::int64_t launchHost_ = 0;
  std::int64_t turns_ = 0;
  std::int64_t longestTurn_ = 0;
  std::int64_t longestHost_ = 0;
  std::int64_t longestHostCpu_ = 0;
  std::int64_t scriptCalls_ = 0;
  std::int64_t longestScriptCall_ = 0;
  std::int64_t scriptCallTotal_ = 0;
};

}  // namespace tumbla
