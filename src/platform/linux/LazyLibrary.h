#pragma once

#include <mutex>

#include "platform/BackgroundThread.h"

namespace tumbla {

// A shared library loaded when it is first used rather than before `main`. Network, sound
// and game-controller libraries bring about thirty more with them, whose loading would
// otherwise come before anything else, the page's load included; the game needs none of
// them until its page runs. Each library's functions are defined in a Lazy*.cpp file of
// this folder under their own names, so callers use the library's header as usual.
//
// A library or function that can't be found ends the program with one line saying which:
// it is part of the installation, as the libraries loaded before `main` are.
class LazyLibrary {
 public:
  explicit LazyLibrary(const char* soname) : soname_(soname) {}
  LazyLibrary(const LazyLibrary&) = delete;
  LazyLibrary& operator=(const LazyLibrary&) = delete;

  // Any thread; loads the library first when needed.
  void* symbol(const char* name);
  void load();

  static LazyLibrary& curl();
  static LazyLibrary& sdl();
  static LazyLibrary& sndfile();

 private:
  const char* soname_;
  std::once_flag loaded_;
  void* handle_ = nullptr;
};

// Loads the lazy libraries on a thread of its own a second after the main loop starts,
// when the page has started, so that their first use does not hold the main loop up. Main
// thread; waits for the thread as it goes.
class LazyLibraryPreload {
 public:
  LazyLibraryPreload();
  ~LazyLibraryPreload();
  LazyLibraryPreload(const LazyLibraryPreload&) = delete;
  LazyLibraryPreload& operator=(const LazyLibraryPreload&) = delete;

 private:
  static int onStart(void* self);

  unsigned start_ = 0;
  BackgroundThread thread_;
};

}  // namespace tumbla

// The body of a function defined in place of the library's own: `real` is the library's.
#define TUMBLA_LAZY_FUNCTION(library, name) \
  static auto* const real = reinterpret_cast<decltype(&(name))>((library).symbol(#name))
