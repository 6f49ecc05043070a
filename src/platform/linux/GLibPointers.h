#pragma once

#include <glib-object.h>

#include <memory>
#include <utility>

namespace tumbla {

// Owning pointers for what GLib hands over with a reference or an allocation, so that no
// path through a function forgets the matching free.

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
// An object we hold one reference to (a GCancellable, a JSCValue, a GdkPixbuf, ...).
template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
// A string or block from g_malloc.
using GCharPtr = std::unique_ptr<char, GFree>;

// The out-parameter of a call that may set a GError, owned once the call returns:
//   GErrorSlot error;
//   if (!g_call(..., error.out())) logLine(error.message());
class GErrorSlot {
 public:
  GErrorSlot() = default;
  GErrorSlot(const GErrorSlot&) = delete;
  GErrorSlot& operator=(const GErrorSlot&) = delete;
  ~GErrorSlot() { reset(); }

  GError** out() {
    reset();
    return &error_;
  }
  explicit operator bool() const { return error_ != nullptr; }
  const char* message() const { return error_ ? error_->message : "unknown error"; }

 private:
  void reset() {
    if (error_) g_error_free(std::exchange(error_, nullptr));
  }

  GError* error_ = nullptr;
};

}  // namespace tumbla
