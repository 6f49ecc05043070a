#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tumbla {

// The remote configuration page that steers the promotions: asked with one query
// parameter `app`, it answers plain text, a number (a switch, 1 is on) or an address.
// Each question waits for the answer, on the main thread, but never longer than a few
// seconds, so a dead server cannot freeze the game.
class RemoteConfiguration {
 public:
  static constexpr double kTimeoutSeconds = 4;
  static constexpr std::size_t kMaxAnswerBytes = std::size_t{64} * 1024;

  // An empty address is no page: every question goes unanswered.
  explicit RemoteConfiguration(std::string pageURL) : pageURL_(std::move(pageURL)) {}

  // The page's text for `app`; nothing when the page can't be read, answers with an
  // error status, or its text is not UTF-8.
  std::optional<std::string> answer(std::string_view app) const;
  // The answer's leading integer; 0 without an answer or a number.
  std::int32_t switchValue(std::string_view app) const;

 private:
  std::string pageURL_;
};

}  // namespace tumbla
