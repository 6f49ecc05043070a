#include "platform/WebView.h"

namespace tumbla {

bool isLoadInterruptedByPolicy(const Error& error) {
  return error.code == 102 &&
         (error.domain == "WebKitErrorDomain" || error.domain == "WebKitPolicyError");
}

bool isLoadCancelled(const Error& error) {
  return (error.domain == "NSURLErrorDomain" && error.code == -999) ||
         (error.domain == "WebKitNetworkError" && error.code == 302);
}

}  // namespace tumbla
