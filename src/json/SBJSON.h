#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "json/SBJsonBase.h"
#include "json/SBJsonParser.h"
#include "json/SBJsonWriter.h"
#include "platform/Error.h"
#include "value/Value.h"

namespace tumbla {

// Both directions in one object with shared settings. After a failure the facade's own
// errorTrace() holds a copy of the worker's trace, and the variants with an error place
// hand back the outermost error (which leads to the inner ones through `underlying`).
// A success leaves the facade's trace as it was.
class SBJSON : public SBJsonBase {
 public:
  SBJSON();

  // Reading: objectWithString requires an array or an object at the top level.
  std::optional<Value> objectWithString(std::optional<std::string_view> text);
  std::optional<Value> objectWithString(std::optional<std::string_view> text, bool allowScalar,
                                        std::shared_ptr<const Error>* error);
  std::optional<Value> fragmentWithString(std::optional<std::string_view> text,
                                          std::shared_ptr<const Error>* error);
  std::optional<Value> objectWithString(std::optional<std::string_view> text,
                                        std::shared_ptr<const Error>* error);

  // Writing: stringWithObject requires an array or a dictionary at the top level.
  std::optional<std::string> stringWithObject(const Value& value);
  std::optional<std::string> stringWithObject(const Value& value, bool allowScalar,
                                              std::shared_ptr<const Error>* error);
  std::optional<std::string> stringWithFragment(const Value& value,
                                                std::shared_ptr<const Error>* error);
  std::optional<std::string> stringWithObject(const Value& value,
                                              std::shared_ptr<const Error>* error);

  // The parser's limit; setting it sets both workers.
  unsigned maxDepth() const override { return jsonParser_.maxDepth(); }
  void setMaxDepth(unsigned maxDepth) override;

  bool humanReadable() const { return jsonWriter_.humanReadable(); }
  void setHumanReadable(bool humanReadable) { jsonWriter_.setHumanReadable(humanReadable); }
  bool sortKeys() const { return jsonWriter_.sortKeys(); }
  void setSortKeys(bool sortKeys) { jsonWriter_.setSortKeys(sortKeys); }

 private:
  // Keeps a copy of the worker's trace and hands out its outermost error.
  void takeFailure(const SBJsonBase& worker, std::shared_ptr<const Error>* error);

  SBJsonParser jsonParser_;
  SBJsonWriter jsonWriter_;
};

}  // namespace tumbla
