#include "LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <strings.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace tumbla::testing {

namespace {

// Named, so that tests counting the program's own threads can tell the server's apart.
void nameThisThread() {
  pthread_setname_np(pthread_self(), "test-http");
}

int listenOnLoopback(int& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 64) != 0) {
    std::abort();
  }
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

bool sendAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads one request: its head and as much body as Content-Length says.
bool readRequest(int fd, LoopbackHttpServer::Request& request) {
  std::string data;
  char buffer[4096];
  std::size_t headEnd;
  while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    data.append(buffer, static_cast<std::size_t>(got));
  }
  std::string head = data.substr(0, headEnd);
  std::size_t lineEnd = head.find("\r\n");
  std::string requestLine = head.substr(0, lineEnd);
  std::size_t space1 = requestLine.find(' ');
  std::size_t space2 = requestLine.find(' ', space1 + 1);
  request.method = requestLine.substr(0, space1);
  request.target = requestLine.substr(space1 + 1, space2 - space1 - 1);
  std::size_t contentLength = 0;
  for (std::size_t start = lineEnd; start != std::string::npos && start < head.size();) {
    start += 2;
    std::size_t end = head.find("\r\n", start);
    std::string line =
        head.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t colon = line.find(':');
    if (colon != std::string::npos) {
      std::string name = line.substr(0, colon);
      std::string value = line.substr(colon + 1);
      value.erase(0, value.find_first_not_of(' '));
      if (strcasecmp(name.c_str(), "Content-Length") == 0) contentLength = std::stoul(value);
      request.headers.emplace_back(name, value);
    }
    start = end;
  }
  request.body = data.substr(headEnd + 4);
  while (request.body.size() < contentLength) {
    ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    request.body.append(buffer, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

std::string LoopbackHttpServer::Request::header(const std::string& name) const {
  for (const auto& [key, value] : headers) {
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  }
  return "";
}

LoopbackHttpServer::LoopbackHttpServer() : listener_(listenOnLoopback(port_)) {
  acceptor_ = std::thread([this] {
    nameThisThread();
    acceptLoop();
  });
}

LoopbackHttpServer::~LoopbackHttpServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopChanged_.notify_all();
  ::shutdown(listener_, SHUT_RDWR);
  acceptor_.join();
  ::close(listener_);
  for (std::thread& connection : connections_) connection.join();
}

void LoopbackHttpServer::route(const std::string& target, Route route) {
  std::lock_guard lock(mutex_);
  routes_[target] = std::move(route);
}

std::string LoopbackHttpServer::url(const std::string& target) const {
  return "http://127.0.0.1:" + std::to_string(port_) + target;
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t LoopbackHttpServer::requestCount(const std::string& target) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      requests_.begin(), requests_.end(), [&](const Request& r) { return r.target == target; }));
}

int LoopbackHttpServer::closedPort() {
  int port = 0;
  int fd = listenOnLoopback(port);
  ::close(fd);
  return port;
}

void LoopbackHttpServer::acceptLoop() {
  while (true) {
    pollfd waiting{listener_, POLLIN, 0};
    ::poll(&waiting, 1, 100);
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
    }
    if (!(waiting.revents & POLLIN)) continue;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    std::lock_guard lock(mutex_);
    connections_.emplace_back([this, client] {
      nameThisThread();
      serve(client);
      ::close(client);
    });
  }
}

bool LoopbackHttpServer::waitForStop(double seconds) {
  std::unique_lock lock(mutex_);
  return stopChanged_.wait_for(lock, std::chrono::duration<double>(seconds),
                               [this] { return stopping_; });
}

void LoopbackHttpServer::serve(int client) {
  Request request;
  while (readRequest(client, request)) {
    Route route;
    bool known;
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      auto found = routes_.find(request.target);
      known = found != routes_.end();
      if (known) route = found->second;
    }
    if (!known) route.status = 404;
    if (route.hang) {
      waitForStop(1e9);
      return;
    }
    if (route.delaySeconds > 0 && waitForStop(route.delaySeconds)) return;
    std::string head = "HTTP/1.1 " + std::to_string(route.status) + " Answer\r\n";
    for (const auto& [name, value] : route.headers) head += name + ": " + value + "\r\n";
    if (route.streamedBytes > 0) {
      head += "Connection: close\r\n\r\n";
      if (!sendAll(client, head)) return;
      std::string chunk(64 * 1024, '<');
      for (std::size_t sent = 0; sent < route.streamedBytes; sent += chunk.size()) {
        if (!sendAll(client, chunk)) return;
      }
      return;
    }
    head += "Content-Length: " + std::to_string(route.body.size()) + "\r\n\r\n";
    if (!sendAll(client, head + route.body)) return;
    request = Request{};
  }
}

}  // namespace tumbla::testing
