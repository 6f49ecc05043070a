#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tumbla {

// The head of an HTTP answer: where it came from, its status and its header fields.
struct URLResponse {
  std::string url;
  long statusCode = 0;
  std::vector<std::pair<std::string, std::string>> headers;
};

}  // namespace tumbla
