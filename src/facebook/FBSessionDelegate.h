#pragma once

namespace tumbla {

// What the session reports about logging in and out. Every operation is optional: a
// delegate announces the ones it has through `respondsTo`, and the session calls an
// operation only after asking.
class FBSessionDelegate {
 public:
  enum class Optional { DidLogin, DidNotLogin, DidLogout };

  virtual ~FBSessionDelegate() = default;

  virtual bool respondsTo(Optional /*operation*/) const { return false; }
  // A token arrived and is stored.
  virtual void fbDidLogin() {}
  // The login ended without a token; `cancelled` is false when the page failed to load.
  virtual void fbDidNotLogin(bool /*cancelled*/) {}
  virtual void fbDidLogout() {}
};

}  // namespace tumbla
