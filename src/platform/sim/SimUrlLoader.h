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

  Result<UrlReply> load(const UrlRequest& request) override;
  Subscription start(UrlRequest request, UrlConnectionHandlers handlers) override;
  CookieStorage& cookieStorage() override { return cookies_; }

  void setAnswer(std::string url, Answer answer) { answers_[std::move(url)] = std::move(answer); }
  void removeAnswer(const std::string& url) { answers_.erase(url); }
  // Every request made, in order.
  const std::vector<UrlRequest>& requests() const { return requests_; }
  std::size_t requestCount(std::string_view url) const;
  // Asynchronous loads started and neither answered nor cancelled yet.
  std::size_t activeConnectionCount() const { return *active_; }

 private:
  // The answer the request gets: the table's, or a failure.
  Result<UrlReply> resolve(const UrlRequest& request) const;

  SimRunLoop& runLoop_;
  std::map<std::string, Answer, std::less<>> answers_;
  std::vector<UrlRequest> requests_;
  SimCookieStorage cookies_;
  std::shared_ptr<std::size_t> active_ = std::make_shared<std::size_t>(0);
};

}  // namespace tumbla
