#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Error.h"

namespace tumbla {

// The domain of every error the JSON parser and writer report.
inline constexpr std::string_view SBJSONErrorDomain = "org.quillmere.JSON.ErrorDomain";

// Error codes shared by the parser and the writer.
enum class SBJsonErrorCode : unsigned {
  UnsupportedType = 1,   // the writer met a value JSON cannot hold
  Number = 2,            // a malformed number
  Parse = 3,             // unexpected characters, bad literals, missing structure
  Fragment = 4,          // a top-level value that is not an array or object
  ControlCharacter = 5,  // a raw control character inside a string
  Unicode = 6,           // a bad \u escape or invalid UTF-8 inside a string
  Depth = 7,             // nesting deeper than maxDepth
  Escape = 8,            // a backslash followed by a non-standard escape
  TrailingComma = 9,     // a comma right before "]" or "}"
  TrailingGarbage = 10,  // non-space text after the value
  EndOfInput = 11,       // the text ends inside a value
  NilInput = 12,         // no text at all
};

// What the parser, the writer and the facade share: the error trace of the last
// operation and the nesting limit.
class SBJsonBase {
 public:
  using ErrorTrace = std::vector<std::shared_ptr<const Error>>;

  static constexpr unsigned kDefaultMaxDepth = 512;

  virtual ~SBJsonBase() = default;

  // The errors of the last operation, innermost first; null until the first error.
  // Each error's `underlying` is the error added before it, so the last one leads
  // through the whole chain.
  const ErrorTrace* errorTrace() const { return errorTrace_ ? &*errorTrace_ : nullptr; }

  // Nesting limit for arrays and objects together; 0 means no limit.
  // Virtual because the facade keeps the limit in its two workers.
  virtual unsigned maxDepth() const { return maxDepth_; }
  virtual void setMaxDepth(unsigned maxDepth) { maxDepth_ = maxDepth; }

  // Appends an error whose underlying error is the trace's current last one.
  void addErrorWithCode(SBJsonErrorCode code, std::string description);
  void clearErrorTrace() { errorTrace_.reset(); }

  // The trace on one line for logs, innermost first: (code 3: ...; code 3: ...).
  static std::string describeErrorTrace(const ErrorTrace& trace);

 protected:
  void replaceErrorTrace(const ErrorTrace& trace) { errorTrace_ = trace; }

 private:
  std::optional<ErrorTrace> errorTrace_;
  unsigned maxDepth_ = kDefaultMaxDepth;
};

}  // namespace tumbla
