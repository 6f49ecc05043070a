#pragma once

#include <optional>

#include "platform/Error.h"
#include "platform/Url.h"

namespace tumbla {

class FBDialog;

// What a web dialog reports to its user. Every operation is optional: a delegate
// announces the ones it has through `respondsTo`, and the dialog calls an operation only
// after asking.
class FBDialogDelegate {
 public:
  enum class Optional {
    CompleteWithUrl,
    NotCompleteWithUrl,
    DidComplete,
    DidNotComplete,
    DidFail,
    ShouldOpenURLInExternalBrowser
  };

  virtual ~FBDialogDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  // The page redirected to the success address; comes before the dismissal.
  virtual void dialogCompleteWithUrl(const Url& /*url*/) {}
  // The page redirected to the cancel address, or the close button was used (no URL).
  virtual void dialogDidNotCompleteWithUrl(const std::optional<Url>& /*url*/) {}
  virtual void dialogDidComplete(FBDialog& /*dialog*/) {}
  virtual void dialogDidNotComplete(FBDialog& /*dialog*/) {}
  virtual void dialogDidFailWithError(FBDialog& /*dialog*/, const Error& /*error*/) {}
  // A link to another address was followed; false keeps it from opening outside.
  virtual bool dialogShouldOpenURLInExternalBrowser(FBDialog& /*dialog*/, const Url& /*url*/) {
    return true;
  }
};

}  // namespace tumbla
