// libcurl's functions the host uses, loaded with the library when first called.

#include <curl/curl.h>

#include <cstdarg>

#include "platform/linux/LazyLibrary.h"

// libcurl's variadic functions end their named parameters with an enum, which C++ (unlike
// C, libcurl's own language) counts as a promoted type for va_start; GCC and Clang read the
// variable arguments the same either way.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wvarargs"
#endif

namespace {

using tumbla::LazyLibrary;

// An option's value, read as the type its number says it is, as libcurl reads it.
template <typename Code, typename Handle, typename Option>
Code passOption(Code (*real)(Handle*, Option, ...), Handle* handle, Option option, va_list value) {
  long type = static_cast<long>(option) / 10000 * 10000;
  // The branches differ in the type each reads, which the clone check does not look at.
  // NOLINTBEGIN(bugprone-branch-clone)
  switch (type) {
    case CURLOPTTYPE_LONG:
      return real(handle, option, va_arg(value, long));
    case CURLOPTTYPE_FUNCTIONPOINT:
      return real(handle, option, va_arg(value, void (*)()));
    case CURLOPTTYPE_OFF_T:
      return real(handle, option, va_arg(value, curl_off_t));
    default:  // object pointers and blobs
      return real(handle, option, va_arg(value, void*));
  }
  // NOLINTEND(bugprone-branch-clone)
}

}  // namespace

extern "C" {

CURLcode curl_global_init(long flags) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_global_init);
  return real(flags);
}

CURL* curl_easy_init() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_init);
  return real();
}

CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_setopt);
  va_list value;
  va_start(value, option);
  CURLcode result = passOption(real, handle, option, value);
  va_end(value);
  return result;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_getinfo);
  // Every piece of information is written through a pointer.
  va_list where;
  va_start(where, info);
  CURLcode result = real(handle, info, va_arg(where, void*));
  va_end(where);
  return result;
}

CURLcode curl_easy_perform(CURL* handle) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_perform);
  return real(handle);
}

void curl_easy_reset(CURL* handle) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_reset);
  real(handle);
}

void curl_easy_cleanup(CURL* handle) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_cleanup);
  real(handle);
}

const char* curl_easy_strerror(CURLcode code) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_easy_strerror);
  return real(code);
}

struct curl_slist* curl_slist_append(struct curl_slist* list, const char* text) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_slist_append);
  return real(list, text);
}

void curl_slist_free_all(struct curl_slist* list) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_slist_free_all);
  real(list);
}

CURLSH* curl_share_init() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_share_init);
  return real();
}

CURLSHcode curl_share_setopt(CURLSH* share, CURLSHoption option, ...) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_share_setopt);
  va_list value;
  va_start(value, option);
  CURLSHcode result;
  // NOLINTBEGIN(bugprone-branch-clone): as above
  switch (option) {
    case CURLSHOPT_SHARE:
    case CURLSHOPT_UNSHARE:
      result = real(share, option, va_arg(value, int));
      break;
    case CURLSHOPT_LOCKFUNC:
    case CURLSHOPT_UNLOCKFUNC:
      result = real(share, option, va_arg(value, void (*)()));
      break;
    default:
      result = real(share, option, va_arg(value, void*));
      break;
  }
  // NOLINTEND(bugprone-branch-clone)
  va_end(value);
  return result;
}

CURLSHcode curl_share_cleanup(CURLSH* share) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_share_cleanup);
  return real(share);
}

CURLM* curl_multi_init() {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_init);
  return real();
}

CURLMcode curl_multi_setopt(CURLM* multi, CURLMoption option, ...) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_setopt);
  va_list value;
  va_start(value, option);
  CURLMcode result = passOption(real, multi, option, value);
  va_end(value);
  return result;
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_add_handle);
  return real(multi, handle);
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_remove_handle);
  return real(multi, handle);
}

CURLMcode curl_multi_socket_action(CURLM* multi, curl_socket_t socket, int events, int* running) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_socket_action);
  return real(multi, socket, events, running);
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_info_read);
  return real(multi, left);
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
  TUMBLA_LAZY_FUNCTION(LazyLibrary::curl(), curl_multi_cleanup);
  return real(multi);
}

}  // extern "C"
