#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Subscription.h"

namespace tumbla {

// The remote configuration page that steers the promotions: asked with one query
// parameter `app`, it answers plain text, a number (a switch, 1 is on) or an address.
// Questions never block: the answer is handed over on the main loop once it arrived, and
// a page that has not answered within a few seconds counts as no answer, so a dead or
// slow server never freezes the game.
class RemoteConfiguration {
 public:
  static constexpr double kTimeoutSeconds = 4;
  static constexpr std::size_t kMaxAnswerBytes = std::size_t{64} * 1024;

  using AnswerHandler = std::function<void(std::optional<std::string> text)>;
  using SwitchHandler = std::function<void(std::int32_t value)>;

  // An empty address is no page: every question goes unanswered.
  explicit RemoteConfiguration(std::string pageURL) : pageURL_(std::move(pageURL)) {}

  // Asks the page for `app` and returns at once; `handler` later gets the page's text, or
  // nothing when the page can't be read in time, answers with an error status, or its
  // text is not UTF-8 (each said in one line). Ending the answered subscription drops
  // the question.
  Subscription ask(std::string_view app, AnswerHandler handler) const;
  // The same, for a switch: the answer's leading integer; 0 without an answer or a number.
  Subscription askSwitch(std::string_view app, SwitchHandler handler) const;

 private:
  std::string pageURL_;
};

}  // namespace tumbla
