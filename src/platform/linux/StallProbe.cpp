#include "platform/linux/StallProbe.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <ctime>
#include <utility>

namespace tumbla {

namespace {

// The probe the poll function reports to: GLib's poll functions take no data of their own.
StallProbe* active = nullptr;

Value milliseconds(std::int64_t microseconds) {
  // Tenths of a millisecond: finer than any frame, coarse enough to read.
  return Value::real(std::round(static_cast<double>(microseconds) / 100.0) / 10.0);
}

}  // namespace

StallProbe::StallProbe(HostDispatcher& dispatcher, Sink sink, double thresholdSeconds)
    : dispatcher_(dispatcher),
      sink_(std::move(sink)),
      thresholdMicroseconds_(static_cast<std::int64_t>(thresholdSeconds * G_USEC_PER_SEC)),
      previousPoll_(g_main_context_get_poll_func(nullptr)),
      turnStart_(g_get_monotonic_time()),
      lastMark_(turnStart_),
      lastCpuMark_(cpuTime()) {
  assert(!active && "one stall probe at a time");
  active = this;
  g_main_context_set_poll_func(nullptr, &StallProbe::poll);
  dispatcher_.setWatcher([this](HostDispatcher::Activity now) { activityChanged(now); });
}

StallProbe::~StallProbe() {
  dispatcher_.setWatcher(nullptr);
  g_main_context_set_poll_func(nullptr, previousPoll_);
  active = nullptr;
  sink_({{"event", "stall-summary"},
         {"turns", Value::integer(turns_)},
         {"longestMs", milliseconds(longestTurn_)},
         {"longestHostMs", milliseconds(longestHost_)},
         {"longestHostCpuMs", milliseconds(longestHostCpu_)},
         {"scriptCalls", Value::integer(scriptCalls_)},
         {"longestScriptCallMs", milliseconds(longestScriptCall_)},
         {"scriptCallMs", milliseconds(scriptCallTotal_)},
         {"launchMs", milliseconds(launch_)},
         {"launchHostMs", milliseconds(launchHost_)}});
}

gint StallProbe::poll(GPollFD* descriptors, guint count, gint timeout) {
  StallProbe* probe = active;
  probe->turnEnded(g_get_monotonic_time());
  gint ready = probe->previousPoll_(descriptors, count, timeout);
  // The wait is the loop at rest: the next turn starts when it ends.
  probe->turnStart_ = probe->lastMark_ = g_get_monotonic_time();
  probe->lastCpuMark_ = cpuTime();
  return ready;
}

std::int64_t StallProbe::cpuTime() {
  timespec used{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &used);
  return static_cast<std::int64_t>(used.tv_sec) * G_USEC_PER_SEC + used.tv_nsec / 1000;
}

void StallProbe::mark(std::int64_t now) {
  std::int64_t cpu = cpuTime();
  if (activity_ == HostDispatcher::Activity::Host) {
    turnHost_ += now - lastMark_;
    turnHostCpu_ += cpu - lastCpuMark_;
  }
  lastMark_ = now;
  lastCpuMark_ = cpu;
}

void StallProbe::activityChanged(HostDispatcher::Activity now) {
  std::int64_t at = g_get_monotonic_time();
  mark(at);
  if (now == HostDispatcher::Activity::ScriptCall) scriptCallStart_ = at;
  if (activity_ == HostDispatcher::Activity::ScriptCall) {
    std::int64_t waited = at - scriptCallStart_;
    ++scriptCalls_;
    scriptCallTotal_ += waited;
    longestScriptCall_ = std::max(longestScriptCall_, waited);
    if (waited > thresholdMicroseconds_) {
      sink_({{"event", "script-call"}, {"ms", milliseconds(waited)}});
    }
  }
  activity_ = now;
}

void StallProbe::turnEnded(std::int64_t now) {
  mark(now);
  std::int64_t turn = now - turnStart_;
  std::int64_t host = std::exchange(turnHost_, 0);
  std::int64_t hostCpu = std::exchange(turnHostCpu_, 0);
  if (!launched_) {
    launched_ = true;
    launch_ = turn;
    launchHost_ = host;
    return;
  }
  ++turns_;
  longestTurn_ = std::max(longestTurn_, turn);
  longestHost_ = std::max(longestHost_, host);
  longestHostCpu_ = std::max(longestHostCpu_, hostCpu);
  if (turn > thresholdMicroseconds_) {
    sink_({{"event", "stall"},
           {"ms", milliseconds(turn)},
           {"hostMs", milliseconds(host)},
           {"hostCpuMs", milliseconds(hostCpu)}});
  }
}

}  // namespace tumbla
