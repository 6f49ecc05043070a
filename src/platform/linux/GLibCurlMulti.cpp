#include "platform/linux/GLibCurlMulti.h"

#include <glib-unix.h>

#include <vector>

namespace tumbla {

void GLibCurlMulti::start() {
  // libcurl is loaded with its first use: the first transfer, not the program's start.
  if (multi_) return;
  multi_ = curl_multi_init();
  curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, onSocket);
  curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, onTimer);
  curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

GLibCurlMulti::~GLibCurlMulti() {
  if (!multi_) return;
  for (const auto& [handle, finished] : running_) curl_multi_remove_handle(multi_, handle);
  // What the reports hold may own the handles: they go once the handles are off.
  running_.clear();
  curl_multi_cleanup(multi_);
  // Taking the transfers off and cleaning up can still ask for watches; none stays.
  std::vector<curl_socket_t> watched;
  for (const auto& [socket, source] : watches_) watched.push_back(socket);
  for (curl_socket_t socket : watched) unwatch(socket);
  if (timeout_ != 0) g_source_remove(timeout_);
}

bool GLibCurlMulti::add(CURL* handle, Finished finished) {
  start();
  running_[handle] = std::move(finished);
  if (curl_multi_add_handle(multi_, handle) == CURLM_OK) return true;
  running_.erase(handle);
  return false;
}

void GLibCurlMulti::remove(CURL* handle) {
  auto running = running_.find(handle);
  if (running == running_.end()) return;
  // What `finished` holds may own the handle: it goes after the handle is off.
  Finished dropped = std::move(running->second);
  running_.erase(running);
  curl_multi_remove_handle(multi_, handle);
}

void GLibCurlMulti::unwatch(curl_socket_t socket) {
  auto watch = watches_.find(socket);
  if (watch == watches_.end()) return;
  g_source_remove(watch->second);
  watches_.erase(watch);
}

int GLibCurlMulti::onSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
  auto& multi = *static_cast<GLibCurlMulti*>(self);
  multi.unwatch(socket);
  if (what == CURL_POLL_REMOVE) return 0;
  auto condition = GIOCondition(G_IO_ERR | G_IO_HUP);
  if (what & CURL_POLL_IN) condition = GIOCondition(condition | G_IO_IN);
  if (what & CURL_POLL_OUT) condition = GIOCondition(condition | G_IO_OUT);
  multi.watches_[socket] =
      g_unix_fd_add_full(G_PRIORITY_DEFAULT, socket, condition, onSocketReady, self, nullptr);
  return 0;
}

int GLibCurlMulti::onTimer(CURLM*, long milliseconds, void* self) {
  auto& multi = *static_cast<GLibCurlMulti*>(self);
  if (multi.timeout_ != 0) g_source_remove(multi.timeout_);
  multi.timeout_ = 0;
  // libcurl must not be called from inside its own callback: even "now" waits for the loop.
  if (milliseconds >= 0) {
    multi.timeout_ = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(milliseconds),
                                        onTimeout, self, nullptr);
  }
  return 0;
}

gboolean GLibCurlMulti::onSocketReady(gint socket, GIOCondition condition, gpointer self) {
  int events = 0;
  if (condition & G_IO_IN) events |= CURL_CSELECT_IN;
  if (condition & G_IO_OUT) events |= CURL_CSELECT_OUT;
  if (condition & (G_IO_ERR | G_IO_HUP)) events |= CURL_CSELECT_ERR;
  // libcurl may take this watch off or change it meanwhile; a source taken off stays off.
  static_cast<GLibCurlMulti*>(self)->act(socket, events);
  return G_SOURCE_CONTINUE;
}

gboolean GLibCurlMulti::onTimeout(gpointer self) {
  auto& multi = *static_cast<GLibCurlMulti*>(self);
  multi.timeout_ = 0;
  multi.act(CURL_SOCKET_TIMEOUT, 0);
  return G_SOURCE_REMOVE;
}

void GLibCurlMulti::act(curl_socket_t socket, int events) {
  int running = 0;
  curl_multi_socket_action(multi_, socket, events, &running);
  int queued = 0;
  while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
    if (message->msg != CURLMSG_DONE) continue;
    CURL* handle = message->easy_handle;
    CURLcode code = message->data.result;
    auto ended = running_.find(handle);
    if (ended == running_.end()) continue;
    Finished finished = std::move(ended->second);
    running_.erase(ended);
    curl_multi_remove_handle(multi_, handle);
    if (finished) finished(code);
  }
}

}  // namespace tumbla
