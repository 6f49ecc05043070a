#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/UrlLoading.h"
#include "platform/sim/SimCookieStorage.h"
#include "platform/sim/SimRunLoop.h"

namespace tumbla {

// Answers loads from a table the test fills. An address without an answer is a server
// that cannot be reached. Asynchronous answers come after their delay on the virtual
// clock; a delay past the request's time limit is a time-out.
class SimUrlLoader : public UrlLoader {
 public:
  struct Answer {
    long statusCode = 200;
    std::string body;
    HttpHeaders headers;
    double delaySeconds = 0;
    // Fails with this reason instead of answering.
    std::optional<std::string> failure;
  };

  explicit SimUrlLoader(SimRunLoop& runLoop) : runLoop_(runLoop) {}
  // Ends every load still waiting for its answer, as quitting does for real transfers:
  // none of their handlers runs, and what the handlers hold is released.
  ~SimUrlLoader() override;
  SimUrlLoader(const SimUrlLoader&) = delete;
  SimUrlLoader& operator=(const SimUrlLoader&) = delete;

  Result<UrlReply> load(const UrlRequest& request) override;
  Subscription start(UrlRequest request, UrlConnectionHandlers handlers) override;
  CookieStorage& cookieStorage() override { return cookies_; }

  void setAnswer(std::string url, Answer answer) { answers_[std::move(url)] = std::move(answer); }
  void removeAnswer(const std::string& url) { answers_.erase(url); }
  // Every request made, in order.
  const std::vector<UrlRequest>& requests() const { return requests_; }
  std::size_t requestCount(std::string_view url) const;
  // Asynchronous loads started and neither answered nor cancelled yet.
  std::size_t activeConnectionCount() const { return pending_->size(); }

 private:
  // An asynchronous load between its start and its answer or cancellation. The loader
  // owns it, and with it the handlers; the timer and the owner's subscription only refer
  // to it.
  struct Exchange {
    UrlConnectionHandlers handlers;
    std::shared_ptr<Timer> timer;
    bool cancelled = false;
  };
  using Exchanges = std::vector<std::shared_ptr<Exchange>>;

  // The answer the request gets: the table's, or a failure.
  Result<UrlReply> resolve(const UrlRequest& request) const;

  SimRunLoop& runLoop_;
  std::map<std::string, Answer, std::less<>> answers_;
  std::vector<UrlRequest> requests_;
  SimCookieStorage cookies_;
  // Shared with the subscriptions, which may outlive the loader.
  std::shared_ptr<Exchanges> pending_ = std::make_shared<Exchanges>();
};

}  // namespace tumbla
