#include "host/RemoteConfiguration.h"

#include <memory>

#include "platform/Platform.h"
#include "prompts/RemoteCheck.h"
#include "value/LeadingNumber.h"
#include "value/PercentCoding.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

// `app` values are percent-encoded as query text: everything but unreserved characters.
std::string encodeQueryValue(std::string_view text) {
  std::string encoded = percentEncodePath(text);
  std::string result;
  for (char c : encoded) {
    if (c == '/') {
      result += "%2F";
    } else {
      result += c;
    }
  }
  return result;
}

// One question on its way: what has arrived of the answer so far.
struct Exchange {
  std::string url;
  UrlResponse response;
  std::string body;
  RemoteConfiguration::AnswerHandler handler;

  void fail(const Error& error) const {
    RemoteCheck::logFailure("the configuration", url, error);
    handler(std::nullopt);
  }
  void finish() {
    long status = response.statusCode;
    if (!response.isSuccess()) {
      fail(Error{std::string(kUrlErrorDomain), status,
                 url + " answered with status " + std::to_string(status), nullptr});
    } else if (!isValidUtf8(body)) {
      fail(Error{std::string(kUrlErrorDomain), -1, url + " answered text that is not UTF-8",
                 nullptr});
    } else {
      handler(std::move(body));
    }
  }
};

}  // namespace

Subscription RemoteConfiguration::ask(std::string_view app, AnswerHandler handler) const {
  Platform& platform = Platform::shared();
  if (pageURL_.empty()) {
    // Answered later all the same, so that callers see one order of events.
    std::shared_ptr<Timer> timer =
        platform.runLoop().scheduleTimer(0, false, [handler] { handler(std::nullopt); });
    return Subscription([timer] { timer->invalidate(); });
  }
  UrlRequest request;
  request.url = pageURL_ + (pageURL_.find('?') == std::string::npos ? "?" : "&") +
                "app=" + encodeQueryValue(app);
  request.timeoutSeconds = kTimeoutSeconds;
  request.maxBodyBytes = kMaxAnswerBytes;
  auto exchange = std::make_shared<Exchange>(Exchange{request.url, {}, {}, std::move(handler)});
  UrlConnectionHandlers handlers;
  handlers.didReceiveResponse = [exchange](const UrlResponse& response) {
    exchange->response = response;
  };
  handlers.didReceiveData = [exchange](std::string_view data) { exchange->body.append(data); };
  handlers.didFinishLoading = [exchange] { exchange->finish(); };
  handlers.didFail = [exchange](const Error& error) { exchange->fail(error); };
  return platform.urlLoader().start(std::move(request), std::move(handlers));
}

Subscription RemoteConfiguration::askSwitch(std::string_view app, SwitchHandler handler) const {
  return ask(app, [handler = std::move(handler)](std::optional<std::string> text) {
    handler(text ? leadingInt32(*text) : 0);
  });
}

}  // namespace tumbla
