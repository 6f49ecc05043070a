#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/BackgroundThread.h"
#include "platform/Error.h"
#include "platform/Result.h"
#include "value/Date.h"
#include "value/Value.h"

namespace tumbla {

// The background half of a prompt component's remote check. Each check runs on a fresh
// background thread that holds the component's lock for its whole length (so a second
// check waits for the first), downloads the list synchronously with a time limit and a
// size bound, reads it as a property list of the expected format, and then hands its
// results to the main thread one by one, each time waiting until the main thread has
// taken them.
//
// Destroying the owner stops it: hand-offs not yet taken are dropped and no longer
// waited for, a download in flight is cancelled, and the threads are joined. So the
// component's state is never touched after it has gone, and nothing blocks the end of
// the program for long.
class RemoteCheck {
 public:
  struct Outcome {
    // Why there is no list; nothing when the list arrived.
    std::optional<Error> error;
    std::optional<Dictionary> list;
  };
  using Reader = std::function<Result<Dictionary>(const Value&)>;
  // What the component does with a check's outcome, on the main thread, in this order.
  struct Steps {
    std::function<void(std::optional<Error>)> setDownloadError;
    std::function<void(std::optional<Dictionary>)> setList;
    std::function<void()> setLastChecked;
    std::function<void()> downloaded;
  };

  // How long a download may take and how large a list may be.
  static constexpr double kTimeoutSeconds = 15;
  static constexpr std::size_t kMaxListBytes = std::size_t{4} * 1024 * 1024;

  // Says in one line that the check of `what` at `url` ended without a list, and why
  // (nothing when no address is set).
  static void logFailure(std::string_view what, const std::optional<std::string>& url,
                         const std::optional<Error>& error);
  // Whether a check is due: a reminder holds checks back for `remindPeriod` days from it;
  // without one, the last check does for `checkPeriod` days.
  static bool isDue(std::optional<Date> lastReminded, float remindPeriod,
                    std::optional<Date> lastChecked, float checkPeriod);

  RemoteCheck();
  ~RemoteCheck();
  RemoteCheck(const RemoteCheck&) = delete;
  RemoteCheck& operator=(const RemoteCheck&) = delete;

  // Starts a check of `url` and returns at once. Without an address the check ends as
  // soon as it holds the lock, and nothing is handed over. Main thread only.
  void start(std::optional<std::string> url, Reader read, Steps steps);

 private:
  struct Shared {
    std::mutex componentLock;
    std::mutex handoffMutex;
    std::condition_variable handoffChanged;
    bool stopped = false;
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
  };
  struct Running {
    BackgroundThread thread;
    std::shared_ptr<std::atomic<bool>> finished;
  };

  std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
  std::vector<Running> running_;
};

}  // namespace tumbla
