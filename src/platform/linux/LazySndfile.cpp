// libsndfile's functions the host uses, loaded with the library when first called.

#include <sndfile.h>

#include "platform/linux/LazyLibrary.h"

namespace {

using tumbla::LazyLibrary;

}  // namespace

extern "C" {

SNDFILE* sf_open(const char* path, int mode, SF_INFO* info) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sndfile(), sf_open);
  return real(path, mode, info);
}

int sf_close(SNDFILE* file) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sndfile(), sf_close);
  return real(file);
}

const char* sf_strerror(SNDFILE* file) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sndfile(), sf_strerror);
  return real(file);
}

sf_count_t sf_seek(SNDFILE* file, sf_count_t frames, int whence) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sndfile(), sf_seek);
  return real(file, frames, whence);
}

sf_count_t sf_readf_float(SNDFILE* file, float* frames, sf_count_t count) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::sndfile(), sf_readf_float);
  return real(file, frames, count);
}

}  // extern "C"
