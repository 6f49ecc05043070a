#pragma once

#include <memory>
#include <string>

#include "value/Value.h"

namespace tumbla {

// An error value: a domain, a code and the details people read. `underlying` is the
// error that led to this one, so a chain of errors reads outermost to innermost.
// `userInfo` carries the details a server or a component hands along with the error.
struct Error {
  std::string domain;
  long code = 0;
  std::string localizedDescription;
  std::shared_ptr<const Error> underlying;
  Dictionary userInfo;
};

}  // namespace tumbla
