#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tumbla::testing {

// A small HTTP/1.1 server on 127.0.0.1 with an ephemeral port, answering each path from
// a table, for tests that load from a real server. Stopped (and its threads joined) when
// destroyed; a route that hangs is released then.
class LoopbackHttpServer {
 public:
  struct Route {
    int status = 200;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;
    // Waits this long before answering.
    double delaySeconds = 0;
    // Accepts the request and never answers.
    bool hang = false;
    // Streams this many bytes of body without announcing a length.
    std::size_t streamedBytes = 0;
  };

  struct Request {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    std::string header(const std::string& name) const;
  };

  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // Routes are matched by the whole request target (path and query); an unknown one
  // answers 404.
  void route(const std::string& target, Route route);
  std::string url(const std::string& target) const;
  std::vector<Request> requests() const;
  std::size_t requestCount(const std::string& target) const;

  // A port on which nothing listens: connections to it are refused.
  static int closedPort();

 private:
  void acceptLoop();
  void serve(int client);
  bool waitForStop(double seconds);

  // The port first: the listener's set-up fills it in.
  int port_ = 0;
  int listener_ = -1;
  mutable std::mutex mutex_;
  std::condition_variable stopChanged_;
  bool stopping_ = false;
  std::map<std::string, Route> routes_;
  std::vector<Request> requests_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace tumbla::testing
