#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bridge/QueryParams.h"
#include "platform/Url.h"

namespace tumbla {

// How the bridge reaches the host. The first three operations are required; the others
// are optional: a delegate announces the ones it has through `respondsTo`, and the
// dispatcher calls an optional operation only after asking.
class URLDispatcherDelegate {
 public:
  enum class Optional {
    UpdateUndo,
    ExitFullScreen,
    Quit,
    EnableGameCenter,
    ShowGlobalScores,
    SubmitScore
  };

  virtual ~URLDispatcherDelegate() = default;

  virtual void openExternalURL(const Url& url) = 0;
  virtual void updateSettings(const QueryParameters& parameters) = 0;
  virtual void executeJavaScript(const std::string& script) = 0;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  virtual void updateUndo(std::uint32_t /*remaining*/) {}
  virtual void exitFullScreen() {}
  virtual void quit() {}
  virtual void enableGameCenter(bool /*enabled*/) {}
  virtual void showGlobalScores(const std::optional<std::string>& /*difficulty*/) {}
  virtual void submitScore(std::int32_t /*score*/, std::int32_t /*level*/,
                           const std::optional<std::string>& /*difficulty*/) {}
};

}  // namespace tumbla
