#include "platform/linux/CurlUrlLoader.h"

#include <atomic>
#include <thread>

#include "platform/linux/GLibRunLoop.h"

namespace tumbla {

// What the owner of an asynchronous load and its worker share.
struct CurlUrlLoader::Connection {
  // Main thread only; emptied when the load ends for its owner, which releases what the
  // handlers hold even while the worker still winds down.
  UrlConnectionHandlers handlers;
  // Set on the main thread when the owner cancels or the loader goes; the worker stops at
  // its next check and the main thread drops whatever the worker handed over before that.
  std::atomic<bool> cancelled{false};

  void end() {
    cancelled = true;
    handlers = {};
  }
};

void CurlUrlLoader::handBack(std::shared_ptr<Connection> connection,
                             std::function<void(const UrlConnectionHandlers&)> call) {
  GLibRunLoop::post([connection = std::move(connection), call = std::move(call)] {
    if (connection->cancelled) return;
    // A copy: the handler may end the load, which empties the connection's own.
    UrlConnectionHandlers handlers = connection->handlers;
    call(handlers);
  });
}

CurlUrlLoader::CurlUrlLoader() : pool_(std::make_shared<CurlPool>()), cookies_(pool_) {}

CurlUrlLoader::~CurlUrlLoader() {
  pool_->close();
  // The loads in flight end for their owners now: their workers fail at once, but their
  // last hand-backs may never run once the program stops turning its loop.
  for (const std::weak_ptr<Connection>& started : connections_) {
    if (auto connection = started.lock()) connection->end();
  }
}

Result<UrlReply> CurlUrlLoader::load(const UrlRequest& request) {
  std::string body;
  CurlPool::Callbacks callbacks;
  callbacks.data = [&body](std::string_view piece) {
    body.append(piece);
    return true;
  };
  // Held for the whole load: the loader may go away meanwhile on another thread.
  std::shared_ptr<CurlPool> pool = pool_;
  Result<UrlResponse> response = pool->perform(request, callbacks);
  if (!response) return response.failure();
  return UrlReply{std::move(*response), std::move(body)};
}

Subscription CurlUrlLoader::start(UrlRequest request, UrlConnectionHandlers handlers) {
  auto connection = std::make_shared<Connection>();
  connection->handlers = std::move(handlers);
  std::erase_if(connections_,
                [](const std::weak_ptr<Connection>& started) { return started.expired(); });
  connections_.push_back(connection);
  std::thread([pool = pool_, connection, request = std::move(request)]() mutable {
    CurlPool::Callbacks callbacks;
    callbacks.cancelled = [&connection] { return connection->cancelled.load(); };
    callbacks.response = [&connection](const UrlResponse& response) {
      handBack(connection, [response](const UrlConnectionHandlers& handlers) {
        if (handlers.didReceiveResponse) handlers.didReceiveResponse(response);
      });
    };
    callbacks.data = [&connection](std::string_view piece) {
      handBack(connection, [data = std::string(piece)](const UrlConnectionHandlers& handlers) {
        if (handlers.didReceiveData) handlers.didReceiveData(data);
      });
      return !connection->cancelled;
    };
    Result<UrlResponse> outcome = pool->perform(request, callbacks);
    // The last hand-back takes the worker's share, so that the handlers (and what they
    // hold) are released on the main thread.
    std::shared_ptr<Connection> last = std::move(connection);
    if (outcome) {
      handBack(std::move(last), [](const UrlConnectionHandlers& handlers) {
        if (handlers.didFinishLoading) handlers.didFinishLoading();
      });
    } else {
      handBack(std::move(last), [reason = outcome.reason()](const UrlConnectionHandlers& handlers) {
        if (handlers.didFail) handlers.didFail(Error{std::string(kUrlErrorDomain), -1, reason, {}});
      });
    }
  }).detach();
  return Subscription([weak = std::weak_ptr<Connection>(connection)] {
    if (auto connection = weak.lock()) connection->end();
  });
}

}  // namespace tumbla
