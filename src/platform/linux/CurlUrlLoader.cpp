#include "platform/linux/CurlUrlLoader.h"

#include <atomic>
#include <thread>

#include "platform/linux/GLibRunLoop.h"

namespace tumbla {

namespace {

// What the owner of an asynchronous load and its worker share.
struct Connection {
  UrlConnectionHandlers handlers;
  // Set on the main thread when the owner cancels; the worker stops at its next check
  // and the main thread drops whatever the worker handed over before that.
  std::atomic<bool> cancelled{false};
};

// Runs one handler on the main thread unless the load has been cancelled by then.
void handBack(std::shared_ptr<Connection> connection,
              std::function<void(UrlConnectionHandlers&)> call) {
  GLibRunLoop::post([connection = std::move(connection), call = std::move(call)] {
    if (!connection->cancelled) call(connection->handlers);
  });
}

}  // namespace

CurlUrlLoader::CurlUrlLoader() : pool_(std::make_shared<CurlPool>()), cookies_(pool_) {}

CurlUrlLoader::~CurlUrlLoader() {
  pool_->close();
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
  std::thread([pool = pool_, connection, request = std::move(request)]() mutable {
    CurlPool::Callbacks callbacks;
    callbacks.cancelled = [&connection] { return connection->cancelled.load(); };
    callbacks.response = [&connection](const UrlResponse& response) {
      handBack(connection, [response](UrlConnectionHandlers& handlers) {
        if (handlers.didReceiveResponse) handlers.didReceiveResponse(response);
      });
    };
    callbacks.data = [&connection](std::string_view piece) {
      handBack(connection, [data = std::string(piece)](UrlConnectionHandlers& handlers) {
        if (handlers.didReceiveData) handlers.didReceiveData(data);
      });
      return !connection->cancelled;
    };
    Result<UrlResponse> outcome = pool->perform(request, callbacks);
    // The last hand-back takes the worker's share, so that the handlers (and what they
    // hold) are released on the main thread.
    std::shared_ptr<Connection> last = std::move(connection);
    if (outcome) {
      handBack(std::move(last), [](UrlConnectionHandlers& handlers) {
        if (handlers.didFinishLoading) handlers.didFinishLoading();
      });
    } else {
      handBack(std::move(last), [reason = outcome.reason()](UrlConnectionHandlers& handlers) {
        if (handlers.didFail) handlers.didFail(Error{std::string(kUrlErrorDomain), -1, reason, {}});
      });
    }
  }).detach();
  return Subscription([connection] { connection->cancelled = true; });
}

}  // namespace tumbla
