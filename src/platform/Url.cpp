#include "platform/Url.h"

#include "value/Ascii.h"
#include "value/PercentCoding.h"

namespace tumbla {

namespace {

bool isSchemeChar(char ch) {
  return isAsciiAlnum(ch) || ch == '+' || ch == '-' || ch == '.';
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || !isAsciiAlpha(text[0])) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < colon; ++i) {
    if (!isSchemeChar(text[i])) return std::nullopt;
  }

  Url url;
  url.text_ = std::string(text);
  url.scheme_ = std::string(text.substr(0, colon));
  std::string_view rest = text.substr(colon + 1);

  if (std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
    url.fragment_ = std::string(rest.substr(hash + 1));
    rest = rest.substr(0, hash);
  }
  if (std::size_t question = rest.find('?'); question != std::string_view::npos) {
    url.query_ = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
      authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    if (authority.starts_with('[')) {
      std::size_t close = authority.find(']');
      host = authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1);
      std::string_view after = authority.substr(host.size());
      if (after.starts_with(':')) url.port_ = std::string(after.substr(1));
    } else if (std::size_t portColon = authority.rfind(':'); portColon != std::string_view::npos) {
      host = authority.substr(0, portColon);
      url.port_ = std::string(authority.substr(portColon + 1));
    }
    if (!host.empty()) url.host_ = std::string(host);
  }
  std::optional<std::string> decodedPath = percentDecodeUtf8(rest);
  url.path_ = decodedPath ? std::move(*decodedPath) : std::string(rest);
  return url;
}

Url Url::fileURLWithPath(std::string_view absolutePath) {
  std::optional<Url> url = parse("file://" + percentEncodePath(absolutePath));
  return std::move(*url);
}

}  // namespace tumbla
