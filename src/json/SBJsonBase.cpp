#include "json/SBJsonBase.h"

#include <utility>

namespace tumbla {

namespace {

// A trace of a parse with no depth limit can chain a hundred thousand errors. Releasing
// such a chain through the default deleter recurses once per link, so each link
// detaches the next one while it is the last owner, and the chain unwinds in a loop.
struct ChainDeleter {
  void operator()(const Error* error) const {
    std::shared_ptr<const Error> next = std::move(const_cast<Error*>(error)->underlying);
    delete error;
    while (next && next.use_count() == 1) {
      std::shared_ptr<const Error> after = std::move(const_cast<Error&>(*next).underlying);
      next = std::move(after);
    }
  }
};

}  // namespace

void SBJsonBase::addErrorWithCode(SBJsonErrorCode code, std::string description) {
  if (!errorTrace_) errorTrace_.emplace();
  auto* error =
      new Error{std::string(SBJSONErrorDomain), static_cast<long>(code), std::move(description),
                errorTrace_->empty() ? nullptr : errorTrace_->back()};
  errorTrace_->push_back(std::shared_ptr<const Error>(error, ChainDeleter{}));
}

std::string SBJsonBase::describeErrorTrace(const ErrorTrace& trace) {
  std::string text = "(";
  for (const auto& error : trace) {
    if (text.size() > 1) text += "; ";
    text += "code " + std::to_string(error->code) + ": " + error->localizedDescription;
  }
  text += ")";
  return text;
}

}  // namespace tumbla
