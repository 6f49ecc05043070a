#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "json/SBJsonBase.h"
#include "value/Value.h"

namespace tumbla::json_test {

// An error as the tests compare it: code and message.
using CodedMessage = std::pair<long, std::string>;

inline std::vector<CodedMessage> traceOf(const SBJsonBase& worker) {
  std::vector<CodedMessage> result;
  if (const SBJsonBase::ErrorTrace* trace = worker.errorTrace()) {
    for (const auto& error : *trace) result.emplace_back(error->code, error->localizedDescription);
  }
  return result;
}

inline Value number(const char* text) {
  return Value::decimal(text);
}

// `depth` arrays, each holding the next; the innermost is empty. Built by moving, since
// an initializer list would copy the whole nest at every level.
inline Value nestedArrays(std::size_t depth) {
  Value value{Array{}};
  for (std::size_t i = 1; i < depth; ++i) {
    Array wrapper;
    wrapper.push_back(std::move(value));
    value = Value(std::move(wrapper));
  }
  return value;
}

inline std::string repeated(std::string_view piece, std::size_t times) {
  std::string text;
  text.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) text.append(piece);
  return text;
}

}  // namespace tumbla::json_test
