#include "platform/linux/LazyLibrary.h"

#include <dlfcn.h>
#include <glib.h>

#include <cstdio>
#include <cstdlib>

namespace tumbla {

namespace {

constexpr int kInstallationBroken = 2;
// Past the page's start, which a loading thread would take processor time from.
constexpr unsigned kStartDelayMilliseconds = 1000;

[[noreturn]] void missing(const char* what) {
  std::fprintf(stderr, "tumbla: %s; reinstall tumbla\n", what);
  std::_Exit(kInstallationBroken);
}

}  // namespace

void LazyLibrary::load() {
  std::call_once(loaded_, [this] {
    handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
    if (!handle_) missing(dlerror());
  });
}

void* LazyLibrary::symbol(const char* name) {
  load();
  void* found = dlsym(handle_, name);
  if (!found) missing(dlerror());
  return found;
}

LazyLibrary& LazyLibrary::curl() {
  static LazyLibrary library("libcurl.so.4");
  return library;
}

LazyLibrary& LazyLibrary::sdl() {
  static LazyLibrary library("libSDL2-2.0.so.0");
  return library;
}

LazyLibrary& LazyLibrary::sndfile() {
  static LazyLibrary library("libsndfile.so.1");
  return library;
}

LazyLibraryPreload::LazyLibraryPreload() {
  start_ = g_timeout_add_full(G_PRIORITY_LOW, kStartDelayMilliseconds, onStart, this, nullptr);
}

int LazyLibraryPreload::onStart(void* self) {
  auto* preload = static_cast<LazyLibraryPreload*>(self);
  preload->start_ = 0;
  preload->thread_ = BackgroundThread(std::thread([] {
    for (LazyLibrary* library :
         {&LazyLibrary::curl(), &LazyLibrary::sdl(), &LazyLibrary::sndfile()}) {
      library->load();
    }
  }));
  return G_SOURCE_REMOVE;
}

LazyLibraryPreload::~LazyLibraryPreload() {
  // The thread, if it started, is joined as its owner goes.
  if (start_ != 0) g_source_remove(start_);
}

}  // namespace tumbla
