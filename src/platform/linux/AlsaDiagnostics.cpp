#include "platform/linux/AlsaDiagnostics.h"

#include <dlfcn.h>

namespace tumbla {

namespace {

// The signature of ALSA's snd_lib_error_handler_t.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int error,
                                  const char* format, ...);

void ignoreAlsaDiagnostic(const char* /*file*/, int /*line*/, const char* /*function*/,
                          int /*error*/, const char* /*format*/, ...) {}

}  // namespace

void quietAlsaDiagnostics() {
  // Kept loaded for the rest of the process: unloading would drop the handler with it.
  void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
  if (alsa == nullptr) return;
  auto setHandler =
      reinterpret_cast<int (*)(AlsaErrorHandler)>(dlsym(alsa, "snd_lib_error_set_handler"));
  if (setHandler != nullptr) setHandler(ignoreAlsaDiagnostic);
}

}  // namespace tumbla
