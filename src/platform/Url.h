#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tumbla {

// A URL split the way the bridge reads it. Absent parts are absent (a file URL has no
// host); the query stays raw, still percent-encoded, because keys and values are only
// decoded after the query has been split.
class Url {
 public:
  // Answers nothing when the text is not an absolute URL ("scheme:...").
  static std::optional<Url> parse(std::string_view text);
  // A file URL for an absolute local path, with the path percent-encoded as needed.
  static Url fileURLWithPath(std::string_view absolutePath);

  const std::string& absoluteString() const { return text_; }
  const std::string& scheme() const { return scheme_; }
  const std::optional<std::string>& host() const { return host_; }
  const std::optional<std::string>& port() const { return port_; }
  // The path with its percent escapes decoded (kept raw when they don't decode);
  // empty when the URL has none.
  const std::string& path() const { return path_; }
  const std::optional<std::string>& query() const { return query_; }
  const std::optional<std::string>& fragment() const { return fragment_; }

  bool operator==(const Url& other) const { return text_ == other.text_; }

 private:
  Url() = default;

  std::string text_;
  std::string scheme_;
  std::optional<std::string> host_;
  std::optional<std::string> port_;
  std::string path_;
  std::optional<std::string> query_;
  std::optional<std::string> fragment_;
};

}  // namespace tumbla
