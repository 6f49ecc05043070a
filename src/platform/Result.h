#pragma once

#include <concepts>
#include <string>
#include <utility>
#include <variant>

namespace tumbla {

// Why an operation failed, in words fit for one log line ("could not write x: No space
// left on device"), and the system's error code when the system said why (ENOSPC, EACCES,
// ...; 0 when the failure is not the system's), so that callers can tell one from another.
class Failure {
 public:
  explicit Failure(std::string reason, int code = 0) : reason_(std::move(reason)), code_(code) {}

  const std::string& reason() const { return reason_; }
  int code() const { return code_; }

 private:
  std::string reason_;
  int code_;
};

// What an operation that can fail with a reason hands back: its value, or the failure.
// The whole type is [[nodiscard]]: a caller that drops a result drops a failure, and every
// operation that answers one can lose data or leave the caller wrong when it fails.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const std::string& reason() const { return failure().reason(); }
  int code() const { return failure().code(); }
  const Failure& failure() const { return std::get<1>(state_); }

  // Compares as std::optional does: a failure equals no value.
  template <class U>
  requires requires(const T& mine, const U& other) {
    { mine == other } -> std::convertible_to<bool>;
  }
  bool operator==(const U& other) const { return ok() && value() == other; }

 private:
  std::variant<T, Failure> state_;
};

// An operation that has nothing to hand back but can fail.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)), ok_(false) {}

  bool ok() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const std::string& reason() const { return failure_.reason(); }
  int code() const { return failure_.code(); }
  const Failure& failure() const { return failure_; }

 private:
  Failure failure_{""};
  bool ok_ = true;
};

using Status = Result<void>;

}  // namespace tumbla
