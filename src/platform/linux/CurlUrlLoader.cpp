#include "platform/linux/CurlUrlLoader.h"

namespace tumbla {

// One asynchronous load: its owner's handlers and its transfer. Main thread only.
struct CurlUrlLoader::Connection : std::enable_shared_from_this<Connection> {
  Connection(RunLoop& runLoop, UrlConnectionHandlers handlers)
      : runLoop(runLoop), handlers(std::move(handlers)) {}

  RunLoop& runLoop;
  // Emptied when the load ends for its owner, which releases what the handlers hold even
  // while hand-backs of it still wait on the loop.
  UrlConnectionHandlers handlers;
  bool ended = false;
  // Running on the multi until it finishes or is cancelled.
  std::unique_ptr<CurlTransfer> transfer;
  std::weak_ptr<GLibCurlMulti> multi;

  // Runs one handler from the main loop unless the load has ended for its owner by then.
  void handBack(std::function<void(const UrlConnectionHandlers&)> call) {
    runLoop.postToMain([connection = shared_from_this(), call = std::move(call)] {
      if (connection->ended) return;
      // A copy: the handler may end the load, which empties the connection's own.
      UrlConnectionHandlers current = connection->handlers;
      call(current);
    });
  }

  // The transfer is over (and off the multi): the last hand-back says how it went.
  void finish(const Result<UrlResponse>& outcome) {
    transfer.reset();
    if (outcome) {
      handBack([](const UrlConnectionHandlers& current) {
        if (current.didFinishLoading) current.didFinishLoading();
      });
    } else {
      handBack([reason = outcome.reason()](const UrlConnectionHandlers& current) {
        if (current.didFail) current.didFail(Error{std::string(kUrlErrorDomain), -1, reason, {}});
      });
    }
  }

  // Over for its owner: nothing more is called, and the transfer stops at once. The caller
  // holds a reference of its own: taking the transfer off lets go of the multi's.
  void end() {
    ended = true;
    handlers = {};
    if (auto running = multi.lock(); running && transfer) running->remove(transfer->handle());
    transfer.reset();
  }
};

CurlUrlLoader::CurlUrlLoader(RunLoop& runLoop)
    : runLoop_(runLoop),
      pool_(std::make_shared<CurlPool>()),
      cookies_(pool_),
      multi_(std::make_shared<GLibCurlMulti>()) {}

CurlUrlLoader::~CurlUrlLoader() {
  // Synchronous loads on other threads fail at once.
  pool_->close();
  for (const std::weak_ptr<Connection>& started : connections_) {
    if (auto connection = started.lock()) connection->end();
  }
}

Result<UrlReply> CurlUrlLoader::load(const UrlRequest& request) {
  std::string body;
  CurlTransfer::Callbacks callbacks;
  callbacks.data = [&body](std::string_view piece) {
    body.append(piece);
    return true;
  };
  // Held for the whole load: the loader may go away meanwhile on another thread.
  std::shared_ptr<CurlPool> pool = pool_;
  Result<UrlResponse> response = pool->perform(request, std::move(callbacks));
  if (!response) return response.failure();
  return UrlReply{std::move(*response), std::move(body)};
}

Subscription CurlUrlLoader::start(UrlRequest request, UrlConnectionHandlers handlers) {
  auto connection = std::make_shared<Connection>(runLoop_, std::move(handlers));
  std::weak_ptr<Connection> weak = connection;
  std::erase_if(connections_,
                [](const std::weak_ptr<Connection>& started) { return started.expired(); });
  connections_.push_back(connection);

  // libcurl calls these from inside the multi, where nothing else may happen: they only
  // hand over.
  CurlTransfer::Callbacks callbacks;
  callbacks.response = [weak](const UrlResponse& response) {
    if (auto loading = weak.lock()) {
      loading->handBack([response](const UrlConnectionHandlers& current) {
        if (current.didReceiveResponse) current.didReceiveResponse(response);
      });
    }
  };
  callbacks.data = [weak](std::string_view piece) {
    if (auto loading = weak.lock()) {
      loading->handBack([data = std::string(piece)](const UrlConnectionHandlers& current) {
        if (current.didReceiveData) current.didReceiveData(data);
      });
    }
    return true;
  };
  Result<std::unique_ptr<CurlTransfer>> prepared =
      pool_->prepare(std::move(request), std::move(callbacks));
  if (!prepared) {
    connection->finish(prepared.failure());
  } else {
    CURL* handle = (*prepared)->handle();
    connection->transfer = std::move(*prepared);
    connection->multi = multi_;
    // The multi holds the load while it runs; the owner's subscription only watches it.
    bool running = multi_->add(handle, [connection](CURLcode code) {
      if (connection->transfer) connection->finish(connection->transfer->finish(code));
    });
    if (!running) connection->finish(Failure{"can't start a network transfer"});
  }
  return Subscription([weak] {
    if (auto connection = weak.lock()) connection->end();
  });
}

}  // namespace tumbla
