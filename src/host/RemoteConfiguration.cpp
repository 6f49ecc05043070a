#include "host/RemoteConfiguration.h"

#include "platform/Log.h"
#include "platform/Platform.h"
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

}  // namespace

std::optional<std::string> RemoteConfiguration::answer(std::string_view app) const {
  if (pageURL_.empty()) return std::nullopt;
  UrlRequest request;
  request.url = pageURL_ + (pageURL_.find('?') == std::string::npos ? "?" : "&") +
                "app=" + encodeQueryValue(app);
  request.timeoutSeconds = kTimeoutSeconds;
  request.maxBodyBytes = kMaxAnswerBytes;
  Result<UrlReply> reply = Platform::shared().urlLoader().load(request);
  if (!reply) {
    logLine("the configuration page gave no answer: " + reply.reason());
    return std::nullopt;
  }
  if (!reply->response.isSuccess() || !isValidUtf8(reply->body)) return std::nullopt;
  return std::move(reply->body);
}

std::int32_t RemoteConfiguration::switchValue(std::string_view app) const {
  std::optional<std::string> text = answer(app);
  return text ? leadingInt32(*text) : 0;
}

}  // namespace tumbla
