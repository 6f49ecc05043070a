// The host runs under the player's locale, which GTK takes from the environment; the unit
// tests do too, and the test command runs them again under German and Turkish locales.
#include <clocale>

namespace {

[[maybe_unused]] const bool kLocaleFromEnvironment = std::setlocale(LC_ALL, "") != nullptr;

}  // namespace
