#include "platform/Value.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>

namespace tumbla {

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  entries_.reserve(entries.size());
  for (const auto& entry : entries) set(entry.first, entry.second);
}

namespace {

std::size_t hashKey(std::string_view key) {
  return std::hash<std::string_view>{}(key);
}

}  // namespace

std::size_t Dictionary::findPosition(std::string_view key) const {
  if (!index_.empty()) {
    std::size_t mask = index_.size() - 1;
    for (std::size_t slot = hashKey(key) & mask;; slot = (slot + 1) & mask) {
      std::uint32_t stored = index_[slot];
      if (stored == 0) return entries_.size();
      if (entries_[stored - 1].first == key) return stored - 1;
    }
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].first == key) return i;
  }
  return entries_.size();
}

void Dictionary::indexInsert(std::size_t position) {
  std::size_t mask = index_.size() - 1;
  std::size_t slot = hashKey(entries_[position].first) & mask;
  while (index_[slot] != 0) slot = (slot + 1) & mask;
  index_[slot] = static_cast<std::uint32_t>(position + 1);
}

void Dictionary::rebuildIndex() {
  // At most half full, so that probes stay short.
  std::size_t slots = 64;
  while (slots < entries_.size() * 2) slots *= 2;
  index_.assign(slots, 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) indexInsert(i);
}

const Value* Dictionary::find(std::string_view key) const {
  std::size_t position = findPosition(key);
  return position < entries_.size() ? &entries_[position].second : nullptr;
}

Value* Dictionary::find(std::string_view key) {
  if (index_.empty() && entries_.size() >= kIndexThreshold) rebuildIndex();
  return const_cast<Value*>(std::as_const(*this).find(key));
}

Value& Dictionary::set(std::string key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return *existing;
  }
  entries_.emplace_back(std::move(key), std::move(value));
  if (!index_.empty() && entries_.size() * 2 <= index_.size()) {
    indexInsert(entries_.size() - 1);
  } else if (entries_.size() >= kIndexThreshold) {
    rebuildIndex();
  }
  return entries_.back().second;
}

bool Dictionary::erase(std::string_view key) {
  std::size_t position = findPosition(key);
  if (position == entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(position));
  // Later entries moved down one place; erasing is linear anyway.
  index_.clear();
  return true;
}

bool Dictionary::operator==(const Dictionary& other) const {
  if (size() != other.size()) return false;
  return std::all_of(entries_.begin(), entries_.end(), [&](const Entry& entry) {
    const Value* theirs = other.find(entry.first);
    return theirs != nullptr && *theirs == entry.second;
  });
}

namespace {

// Containers nested deeper than this below the value being destroyed are parked and
// destroyed one after another by the outermost destructor instead of recursively.
constexpr unsigned kRecursiveDestructionLimit = 256;

struct DestructionState {
  unsigned nesting = 0;
  bool draining = false;
  std::vector<Value> parked;
};

DestructionState& destructionState() {
  thread_local DestructionState state;
  return state;
}

}  // namespace

Value::~Value() {
  if (!isArray() && !isDictionary()) return;
  DestructionState& state = destructionState();
  if (state.nesting >= kRecursiveDestructionLimit) {
    state.parked.push_back(std::move(*this));
    return;
  }
  ++state.nesting;
  storage_.emplace<std::monostate>();
  --state.nesting;
  if (state.nesting != 0 || state.draining || state.parked.empty()) return;
  state.draining = true;
  while (!state.parked.empty()) {
    // Each parked value may park deeper ones; the loop picks those up in turn.
    Value next = std::move(state.parked.back());
    state.parked.pop_back();
  }
  state.draining = false;
}

Value& Value::operator=(const Value& other) {
  Value copy(other);
  return *this = std::move(copy);
}

Value& Value::operator=(Value&& other) noexcept {
  if (this != &other) {
    Value previous(std::move(*this));
    storage_ = std::move(other.storage_);
  }
  return *this;
}

Value Value::boolean(bool b) {
  return Value(Storage(b));
}
Value Value::integer(std::int64_t i) {
  return Value(Storage(i));
}
Value Value::real(double r) {
  return Value(Storage(r));
}
Value Value::decimal(std::string exactText) {
  return Value(Storage(DecimalText{std::move(exactText)}));
}
Value Value::data(std::string bytes) {
  return Value(Storage(Bytes{std::move(bytes)}));
}

bool Value::isNumber() const {
  Kind k = kind();
  return k == Kind::Integer || k == Kind::Real || k == Kind::Decimal;
}

namespace {

// The leading number of a text, as the platform's string-to-number conversions read
// it: optional white space, then as much of a number as there is; 0 when none.
double leadingReal(const std::string& text) {
  return std::strtod(text.c_str(), nullptr);
}

std::int64_t leadingInteger(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t result = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    int digit = text[i] - '0';
    if (result > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
      return negative ? std::numeric_limits<std::int64_t>::min()
                      : std::numeric_limits<std::int64_t>::max();
    }
    result = result * 10 + digit;
  }
  return negative ? -result : result;
}

std::int64_t clampToInteger(double r) {
  if (std::isnan(r)) return 0;
  if (r >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
  if (r <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(r);
}

}  // namespace

std::optional<std::int64_t> Value::toInteger() const {
  switch (kind()) {
    case Kind::Boolean:
      return *booleanIf() ? 1 : 0;
    case Kind::Integer:
      return *integerIf();
    case Kind::Real:
      return clampToInteger(*realIf());
    case Kind::Decimal: {
      const std::string& text = decimalIf()->text;
      std::int64_t exact = 0;
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), exact);
      if (ec == std::errc() && end == text.data() + text.size()) return exact;
      return clampToInteger(leadingReal(text));
    }
    case Kind::String:
      return leadingInteger(*stringIf());
    default:
      return std::nullopt;
  }
}

std::optional<double> Value::toReal() const {
  switch (kind()) {
    case Kind::Boolean:
      return *booleanIf() ? 1.0 : 0.0;
    case Kind::Integer:
      return static_cast<double>(*integerIf());
    case Kind::Real:
      return *realIf();
    case Kind::Decimal:
      return leadingReal(decimalIf()->text);
    case Kind::String:
      return leadingReal(*stringIf());
    default:
      return std::nullopt;
  }
}

std::optional<bool> Value::toBoolean() const {
  switch (kind()) {
    case Kind::Boolean:
      return *booleanIf();
    case Kind::Integer:
    case Kind::Real:
    case Kind::Decimal:
      return *toReal() != 0.0;
    case Kind::String: {
      const std::string& text = *stringIf();
      std::string lower;
      for (char ch : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (lower == "yes" || lower == "true") return true;
      return leadingInteger(text) != 0;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace tumbla
