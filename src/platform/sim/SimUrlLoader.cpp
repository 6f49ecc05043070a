#include "platform/sim/SimUrlLoader.h"

#include <algorithm>
#include <utility>

namespace tumbla {

namespace {

double delayOf(const std::map<std::string, SimUrlLoader::Answer, std::less<>>& answers,
               const std::string& url) {
  auto found = answers.find(url);
  return found == answers.end() ? 0 : found->second.delaySeconds;
}

}  // namespace

Result<UrlReply> SimUrlLoader::resolve(const UrlRequest& request) const {
  if (!isWebAddress(request.url)) return Failure{"unsupported URL " + request.url};
  auto found = answers_.find(request.url);
  if (found == answers_.end()) return Failure{"could not connect to " + request.url};
  const Answer& answer = found->second;
  if (answer.failure) return Failure{*answer.failure};
  if (answer.delaySeconds > request.timeoutSeconds) {
    return Failure{"the request to " + request.url + " timed out"};
  }
  if (answer.body.size() > request.maxBodyBytes) {
    return Failure{"the answer of " + request.url + " is larger than allowed"};
  }
  return UrlReply{{answer.statusCode, answer.headers}, answer.body};
}

Result<UrlReply> SimUrlLoader::load(const UrlRequest& request) {
  requests_.push_back(request);
  return resolve(request);
}

SimUrlLoader::~SimUrlLoader() {
  // Taken out first: releasing a handler may release its owner, which may cancel.
  Exchanges ending = std::exchange(*pending_, {});
  for (const auto& exchange : ending) {
    exchange->cancelled = true;
    exchange->timer->invalidate();
  }
}

Subscription SimUrlLoader::start(UrlRequest request, UrlConnectionHandlers handlers) {
  requests_.push_back(request);
  Result<UrlReply> outcome = resolve(request);
  double delay = std::min(delayOf(answers_, request.url), request.timeoutSeconds);
  auto exchange = std::make_shared<Exchange>();
  exchange->handlers = std::move(handlers);
  pending_->push_back(exchange);
  std::weak_ptr<Exchange> weakExchange = exchange;
  std::weak_ptr<Exchanges> weakPending = pending_;
  exchange->timer = runLoop_.scheduleTimer(
      delay, false, [outcome = std::move(outcome), weakExchange, weakPending] {
        // Held while the handlers run: one of them may end the exchange.
        std::shared_ptr<Exchange> answered = weakExchange.lock();
        std::shared_ptr<Exchanges> pending = weakPending.lock();
        if (!answered || !pending || answered->cancelled) return;
        std::erase(*pending, answered);
        const UrlConnectionHandlers& handlers = answered->handlers;
        if (!outcome) {
          if (handlers.didFail) {
            handlers.didFail(Error{std::string(kUrlErrorDomain), -1, outcome.reason(), nullptr});
          }
          return;
        }
        // Each handler may cancel the load; the ones after it must then not run.
        if (handlers.didReceiveResponse) handlers.didReceiveResponse(outcome->response);
        if (answered->cancelled) return;
        if (handlers.didReceiveData && !outcome->body.empty())
          handlers.didReceiveData(outcome->body);
        if (answered->cancelled) return;
        if (handlers.didFinishLoading) handlers.didFinishLoading();
      });
  return Subscription([weakExchange, weakPending] {
    std::shared_ptr<Exchange> cancelled = weakExchange.lock();
    if (!cancelled) return;
    cancelled->cancelled = true;
    cancelled->timer->invalidate();
    // A load still waiting lets its handlers go now; one being answered, once through.
    if (std::shared_ptr<Exchanges> pending = weakPending.lock()) std::erase(*pending, cancelled);
  });
}

std::size_t SimUrlLoader::requestCount(std::string_view url) const {
  return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                [&](const UrlRequest& r) { return r.url == url; }));
}

}  // namespace tumbla
