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

Subscription SimUrlLoader::start(UrlRequest request, UrlConnectionHandlers handlers) {
  requests_.push_back(request);
  Result<UrlReply> outcome = resolve(request);
  double delay = std::min(delayOf(answers_, request.url), request.timeoutSeconds);
  struct State {
    bool answered = false;
    bool cancelled = false;
  };
  auto state = std::make_shared<State>();
  ++*active_;
  auto timer = runLoop_.scheduleTimer(
      delay, false,
      [outcome = std::move(outcome), handlers = std::move(handlers), state, active = active_] {
        if (state->cancelled) return;
        state->answered = true;
        --*active;
        if (!outcome) {
          if (handlers.didFail) {
            handlers.didFail(Error{std::string(kUrlErrorDomain), -1, outcome.reason(), nullptr});
          }
          return;
        }
        // Each handler may cancel the load; the ones after it must then not run.
        if (handlers.didReceiveResponse) handlers.didReceiveResponse(outcome->response);
        if (state->cancelled) return;
        if (handlers.didReceiveData && !outcome->body.empty())
          handlers.didReceiveData(outcome->body);
        if (state->cancelled) return;
        if (handlers.didFinishLoading) handlers.didFinishLoading();
      });
  return Subscription([timer, state, active = active_] {
    timer->invalidate();
    state->cancelled = true;
    if (!std::exchange(state->answered, true)) --*active;
  });
}

std::size_t SimUrlLoader::requestCount(std::string_view url) const {
  return static_cast<std::size_t>(std::count_if(requests_.begin(), requests_.end(),
                                                [&](const UrlRequest& r) { return r.url == url; }));
}

}  // namespace tumbla
