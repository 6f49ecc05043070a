#include "bridge/QueryParams.h"

#include "value/LeadingNumber.h"
#include "value/PercentCoding.h"
#include "value/Value.h"

namespace tumbla {

std::optional<std::string> urlDecode(std::string_view text) {
  return percentDecodeUtf8(text);
}

QueryParameters queryParams(const Url& url) {
  QueryParameters parameters;
  if (!url.query()) return parameters;
  std::string_view query = *url.query();
  while (true) {
    std::size_t ampersand = query.find('&');
    std::string_view piece = query.substr(0, ampersand);
    if (!piece.empty()) {
      // A bare name ("&shakeToUndo") is that key with an empty value, as the web reads it.
      std::size_t equals = piece.find('=');
      std::string_view rawValue =
          equals == std::string_view::npos ? std::string_view() : piece.substr(equals + 1);
      rawValue = rawValue.substr(0, rawValue.find('='));
      auto key = urlDecode(piece.substr(0, equals));
      auto value = urlDecode(rawValue);
      if (key && value) parameters.insert_or_assign(std::move(*key), std::move(*value));
    }
    if (ampersand == std::string_view::npos) break;
    query.remove_prefix(ampersand + 1);
  }
  return parameters;
}

std::optional<std::string> parameter(const QueryParameters& parameters, std::string_view key) {
  auto found = parameters.find(key);
  if (found == parameters.end()) return std::nullopt;
  return found->second;
}

std::int32_t integerParameter(const QueryParameters& parameters, std::string_view key) {
  auto found = parameters.find(key);
  if (found == parameters.end()) return 0;
  return leadingInt32(found->second);
}

}  // namespace tumbla
