#include "prompts/RemoteCheck.h"

#include "platform/Log.h"
#include "platform/Platform.h"
#include "prompts/PromptClock.h"

namespace tumbla {

namespace {

// The domain of the errors of a list that arrived but is not a list of the right form.
constexpr const char* kPropertyListErrorDomain = "NSCocoaErrorDomain";
constexpr long kPropertyListReadCorruptError = 3840;

RemoteCheck::Outcome fetch(UrlLoader& loader, const PropertyLists& lists, const std::string& url,
                           const RemoteCheck::Reader& read,
                           std::shared_ptr<const std::atomic<bool>> cancelled) {
  UrlRequest request;
  request.url = url;
  request.timeoutSeconds = RemoteCheck::kTimeoutSeconds;
  request.maxBodyBytes = RemoteCheck::kMaxListBytes;
  request.cancelled = std::move(cancelled);
  Result<UrlReply> reply = loader.load(request);
  if (!reply) return {Error{std::string(kUrlErrorDomain), -1, reply.reason(), nullptr}, {}};
  if (!reply->response.isSuccess()) {
    long status = reply->response.statusCode;
    return {Error{std::string(kUrlErrorDomain), status,
                  url + " answered with status " + std::to_string(status), nullptr},
            {}};
  }
  std::optional<Value> parsed = lists.parse(reply->body);
  if (!parsed) {
    return {Error{kPropertyListErrorDomain, kPropertyListReadCorruptError,
                  url + " is not a property list", nullptr},
            {}};
  }
  Result<Dictionary> list = read(*parsed);
  if (!list) {
    return {Error{kPropertyListErrorDomain, kPropertyListReadCorruptError, list.reason(), nullptr},
            {}};
  }
  return {std::nullopt, std::move(*list)};
}

// The outcome's parts are each taken by one step.
std::vector<std::function<void()>> stepsTaking(RemoteCheck::Outcome outcome,
                                               const RemoteCheck::Steps& steps) {
  auto error = std::make_shared<std::optional<Error>>(std::move(outcome.error));
  auto list = std::make_shared<std::optional<Dictionary>>(std::move(outcome.list));
  return {[error, set = steps.setDownloadError] { set(std::move(*error)); },
          [list, set = steps.setList] { set(std::move(*list)); }, steps.setLastChecked,
          steps.downloaded};
}

}  // namespace

void RemoteCheck::logFailure(std::string_view what, const std::optional<std::string>& url,
                             const std::optional<Error>& error) {
  // Without an address there is nothing to check, and nothing a player should read about.
  if (!url || url->empty()) return;
  std::string line = "the check for ";
  line.append(what).append(" at ").append(*url).append(" failed: ");
  line.append(error ? error->localizedDescription : "no list came");
  logLine(line);
}

bool RemoteCheck::isDue(std::optional<Date> lastReminded, float remindPeriod,
                        std::optional<Date> lastChecked, float checkPeriod) {
  if (lastReminded) return PromptClock::periodHasPassed(lastReminded, remindPeriod);
  return PromptClock::periodHasPassed(lastChecked, checkPeriod);
}

RemoteCheck::RemoteCheck() = default;

RemoteCheck::~RemoteCheck() {
  {
    std::lock_guard lock(shared_->handoffMutex);
    shared_->stopped = true;
  }
  *shared_->cancelled = true;
  shared_->handoffChanged.notify_all();
  running_.clear();
}

void RemoteCheck::start(std::optional<std::string> url, Reader read, Steps steps) {
  std::erase_if(running_, [](const Running& check) { return check.finished->load(); });
  Platform& platform = Platform::shared();
  RunLoop& loop = platform.runLoop();
  UrlLoader& loader = platform.urlLoader();
  const PropertyLists& lists = platform.propertyLists();
  auto finished = std::make_shared<std::atomic<bool>>(false);

  // The platform outlives the thread: the owner joins it before the platform goes.
  auto body = [shared = shared_, &loop, &loader, &lists, url = std::move(url),
               read = std::move(read), steps = std::move(steps), finished] {
    std::lock_guard componentLock(shared->componentLock);
    if (url) {
      Outcome outcome = fetch(loader, lists, *url, read, shared->cancelled);
      for (std::function<void()>& step : stepsTaking(std::move(outcome), steps)) {
        if (loop.isMainThread()) {
          if (shared->stopped) break;
          step();
          continue;
        }
        auto taken = std::make_shared<bool>(false);
        loop.postToMain([shared, taken, step = std::move(step)] {
          // Stopping happens on the main thread too, so it cannot come between the
          // test and the step.
          if (shared->stopped) return;
          step();
          std::lock_guard lock(shared->handoffMutex);
          *taken = true;
          shared->handoffChanged.notify_all();
        });
        std::unique_lock lock(shared->handoffMutex);
        shared->handoffChanged.wait(lock, [&] { return *taken || shared->stopped; });
        if (shared->stopped) break;
      }
    }
    *finished = true;
  };
  running_.push_back({loop.startBackground(std::move(body)), finished});
}

}  // namespace tumbla
