#pragma once

#include <clocale>
#include <string>

namespace tumbla::testing {

// Locales that catch numbers and names read or written by the locale's rules: German
// writes "1,5", Turkish has no capital "I" for "i". The install step generates them.
inline constexpr const char* kPlayerLocales[] = {"C", "de_DE.UTF-8", "tr_TR.UTF-8"};

// The process runs under `name` (as GTK sets it from a player's environment) until the
// end of the scope.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
    installed_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;

  // False when the locale is not generated on this machine (scripts/install-deps.sh).
  bool installed() const { return installed_; }

 private:
  std::string previous_;
  bool installed_ = false;
};

}  // namespace tumbla::testing
