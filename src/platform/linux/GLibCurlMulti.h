#pragma once

#include <curl/curl.h>
#include <glib.h>

#include <functional>
#include <unordered_map>

namespace tumbla {

// One curl_multi that the GLib main loop drives: libcurl names the sockets to watch and
// when to wake it, the loop watches them and wakes it. Main thread only. Destroying it
// takes every transfer off at once without reporting any, and leaves no watch behind.
class GLibCurlMulti {
 public:
  using Finished = std::function<void(CURLcode)>;

  GLibCurlMulti() = default;
  ~GLibCurlMulti();
  GLibCurlMulti(const GLibCurlMulti&) = delete;
  GLibCurlMulti& operator=(const GLibCurlMulti&) = delete;

  // Runs the transfer set up on `handle`; `finished` is called from the loop once it has
  // ended and been taken off. False when libcurl refuses it.
  bool add(CURL* handle, Finished finished);
  // Takes the transfer off at once; its `finished` is never called.
  void remove(CURL* handle);

 private:
  static int onSocket(CURL*, curl_socket_t socket, int what, void* self, void*);
  static int onTimer(CURLM*, long milliseconds, void* self);
  static gboolean onSocketReady(gint socket, GIOCondition condition, gpointer self);
  static gboolean onTimeout(gpointer self);
  // Makes the multi with the first transfer.
  void start();
  void unwatch(curl_socket_t socket);
  // Lets libcurl act on a socket (or on its timeout), then reports what has ended.
  void act(curl_socket_t socket, int events);

  CURLM* multi_ = nullptr;
  // The loop's sources hold this object as their data; it removes them when it goes.
  std::unordered_map<curl_socket_t, guint> watches_;
  guint timeout_ = 0;
  std::unordered_map<CURL*, Finished> running_;
};

}  // namespace tumbla
