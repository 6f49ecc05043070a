#pragma once

#include <memory>
#include <string>

namespace tumbla {

// An error value: a domain, a code and the details people read. `underlying` is the
// error that led to this one, so a chain of errors reads outermost to innermost.
struct Error {
  std::string domain;
  long code = 0;
  std::string localizedDescription;
  std::shared_ptr<const Error> underlying;
};

}  // namespace tumbla
