#pragma once

#include <optional>
#include <string>

#include "value/Date.h"

namespace tumbla {

// Receives the outcome of a login dialog (the session).
class FBLoginDialogDelegate {
 public:
  virtual ~FBLoginDialogDelegate() = default;

  // The success address carried a token; the expiry is absent when it gave no lifetime.
  virtual void fbDialogLogin(const std::string& token, std::optional<Date> expirationDate) = 0;
  // No token: `cancelled` when the user or the server cancelled, false when the page failed.
  virtual void fbDialogNotLogin(bool cancelled) = 0;
};

}  // namespace tumbla
