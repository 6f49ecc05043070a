// Any address a login page may redirect to: reading it never crashes, every value read is
// valid UTF-8 without the "&" that ends it unless escaped, and the expiry is absent exactly
// when the address has no lifetime.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "facebook/FBDialog.h"
#include "facebook/FBLoginDialog.h"
#include "platform/Url.h"
#include "value/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::string_view needle : {"access_token=", "expires_in=", "error_code=", "error_msg="}) {
    std::optional<std::string> value = tumbla::FBDialog::getStringFromUrl(text, needle);
    if (value && !tumbla::isValidUtf8(*value)) std::abort();
    if (value && text.find(needle) == std::string_view::npos) std::abort();
  }
  std::optional<tumbla::Date> expiry =
      tumbla::FBLoginDialog::expirationDateFromUrl(text, tumbla::Date{1e9});
  if (expiry.has_value() != (text.find("expires_in=") != std::string_view::npos)) std::abort();

  if (std::optional<tumbla::Url> url = tumbla::Url::parse(text)) {
    tumbla::FBDialog::Redirect redirect = tumbla::FBDialog::readRedirect(*url);
    using Kind = tumbla::FBDialog::Redirect::Kind;
    bool fbconnect = url->scheme().size() == 9 && (text[0] == 'f' || text[0] == 'F');
    if (redirect.kind != Kind::None && !fbconnect) std::abort();
    if (redirect.kind != Kind::Failure && redirect.errorMessage) std::abort();
  }
  return 0;
}
