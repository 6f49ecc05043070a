#include "value/Value.h"

#include "value/Ascii.h"
#include "value/LeadingNumber.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>

namespace tumbla {

static_assert(sizeof(Value) == 16);
static_assert(sizeof(Dictionary::Entry) == 32);

Dictionary::Dictionary(std::initializer_list<Entry> entries) {
  entries_.reserve(entries.size());
  for (const auto& entry : entries) set(entry.first, entry.second);
}

Dictionary::Dictionary(const Dictionary& other) : entries_(other.entries_) {
  // The copied keys are known to differ.
  if (other.index() != nullptr) rebuildIndex();
}

Dictionary& Dictionary::operator=(const Dictionary& other) {
  if (this != &other) *this = Dictionary(other);
  return *this;
}

namespace {

std::size_t hashKey(std::string_view key) {
  return std::hash<std::string_view>{}(key);
}

}  // namespace

std::size_t Dictionary::findPosition(std::string_view key) const {
  if (index() != nullptr) {
    const Index& slots = *index();
    std::size_t mask = slots.size() - 1;
    for (std::size_t slot = hashKey(key) & mask;; slot = (slot + 1) & mask) {
      std::uint32_t stored = slots[slot];
      if (stored == 0) return entries_.size();
      if (entries_[stored - 1].first == key) return stored - 1;
    }
  }
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].first == key) return i;
  }
  return entries_.size();
}

bool Dictionary::indexInsert(std::size_t position) {
  Index& slots = *entries_.extra();
  std::string_view key = entries_[position].first;
  std::size_t mask = slots.size() - 1;
  std::size_t slot = hashKey(key) & mask;
  for (; slots[slot] != 0; slot = (slot + 1) & mask) {
    if (entries_[slots[slot] - 1].first == key) return false;
  }
  slots[slot] = static_cast<std::uint32_t>(position + 1);
  return true;
}

bool Dictionary::rebuildIndex() {
  // At most half full, so that probes stay short.
  std::size_t slots = 64;
  while (slots < entries_.size() * 2) slots *= 2;
  *entries_.extra() = Index(slots, 0);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!indexInsert(i)) return false;
  }
  return true;
}

bool Dictionary::hasRepeatedKeys() {
  if (entries_.size() >= kIndexThreshold) return !rebuildIndex();
  for (std::size_t i = 1; i < entries_.size(); ++i) {
    std::string_view key = entries_[i].first;
    for (std::size_t j = 0; j < i; ++j) {
      if (entries_[j].first == key) return true;
    }
  }
  return false;
}

Dictionary::Dictionary(Entries entries) : entries_(std::move(entries)) {
  if (!hasRepeatedKeys()) return;
  Entries given = std::move(entries_);
  dropIndex();
  entries_.reserve(given.size());
  for (Entry& entry : given) set(std::move(entry.first), std::move(entry.second));
}

const Value* Dictionary::find(std::string_view key) const {
  std::size_t position = findPosition(key);
  return position < entries_.size() ? &entries_[position].second : nullptr;
}

Value* Dictionary::find(std::string_view key) {
  if (index() == nullptr && entries_.size() >= kIndexThreshold) rebuildIndex();
  return const_cast<Value*>(std::as_const(*this).find(key));
}

Value& Dictionary::set(Key key, Value value) {
  if (Value* existing = find(key)) {
    *existing = std::move(value);
    return *existing;
  }
  entries_.push_back(Entry{std::move(key), std::move(value)});
  if (index() != nullptr && entries_.size() * 2 <= index()->size()) {
    indexInsert(entries_.size() - 1);  // new, so never repeated
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
  dropIndex();
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

// Plain thread-locals for the counters, so that the destructor of every container reads
// them without a first-use check; only parking touches the list.
thread_local unsigned destructionNesting = 0;
thread_local bool drainingParked = false;

std::vector<Value>& parkedValues() {
  thread_local std::vector<Value> parked;
  return parked;
}

}  // namespace

void Value::destroyContent() noexcept {
  if (kind_ == Kind::Array) {
    content<Array>().~Array();
  } else if (kind_ == Kind::Dictionary) {
    content<Dictionary>().~Dictionary();
  } else if (!holdsPlainBits()) {
    destroyText();
  }
  kind_ = Kind::Null;
}

void Value::releaseContainer() noexcept {
  bool nests = (kind_ == Kind::Array && !content<Array>().empty()) ||
               (kind_ == Kind::Dictionary && !content<Dictionary>().empty());
  if (!nests) {
    destroyContent();
    return;
  }
  if (destructionNesting >= kRecursiveDestructionLimit) {
    parkedValues().push_back(std::move(*this));
    destroyContent();
    return;
  }
  ++destructionNesting;
  destroyContent();
  --destructionNesting;
  if (destructionNesting != 0 || drainingParked) return;
  std::vector<Value>& parked = parkedValues();
  if (parked.empty()) return;
  drainingParked = true;
  while (!parked.empty()) {
    // Each parked value may park deeper ones; the loop picks those up in turn.
    Value next = std::move(parked.back());
    parked.pop_back();
  }
  drainingParked = false;
}

Value::Value(const Value& other) : kind_(other.kind_) {
  if (holdsPlainBits()) {
    std::memcpy(content_, other.content_, sizeof content_);
  } else if (kind_ == Kind::Decimal) {
    new (content_) DecimalText(other.content<DecimalText>());
  } else if (kind_ == Kind::Array) {
    new (content_) Array(other.content<Array>());
  } else if (kind_ == Kind::Dictionary) {
    new (content_) Dictionary(other.content<Dictionary>());
  } else {
    new (content_) Text(other.content<Text>());
  }
}

Value& Value::operator=(const Value& other) {
  Value copy(other);
  return *this = std::move(copy);
}

Value& Value::operator=(Value&& other) noexcept {
  if (this == &other) return *this;
  // Keeps the previous content alive until `other`, which may live inside it, is taken.
  Value previous(std::move(*this));
  std::memcpy(content_, other.content_, sizeof content_);
  kind_ = std::exchange(other.kind_, Kind::Null);
  return *this;
}

bool Value::operator==(const Value& other) const {
  if (kind_ != other.kind_) return false;
  switch (kind_) {
    case Kind::Null:
      return true;
    case Kind::Boolean:
      return content<bool>() == other.content<bool>();
    case Kind::Integer:
      return content<std::int64_t>() == other.content<std::int64_t>();
    case Kind::Real:
      return content<double>() == other.content<double>();
    case Kind::Decimal:
      return content<DecimalText>() == other.content<DecimalText>();
    case Kind::String:
    case Kind::Data:
      return content<Text>() == other.content<Text>();
    case Kind::Date:
      return content<Date>() == other.content<Date>();
    case Kind::Array:
      return content<Array>() == other.content<Array>();
    case Kind::Dictionary:
      return content<Dictionary>() == other.content<Dictionary>();
  }
  return false;
}

template <class Scalar>
Value Value::holding(Kind kind, Scalar scalar) {
  Value value;
  value.kind_ = kind;
  new (value.content_) Scalar(scalar);
  return value;
}

Value Value::boolean(bool b) {
  return holding(Kind::Boolean, b);
}
Value Value::integer(std::int64_t i) {
  return holding(Kind::Integer, i);
}
Value Value::real(double r) {
  return holding(Kind::Real, r);
}

Value Value::decimal(std::string_view exactText) {
  Value value;
  new (value.content_) DecimalText(exactText);
  value.kind_ = Kind::Decimal;
  return value;
}

Value Value::data(std::string_view bytes) {
  Value value;
  new (value.content_) Text(bytes);
  value.kind_ = Kind::Data;
  return value;
}

bool Value::isNumber() const {
  Kind k = kind();
  return k == Kind::Integer || k == Kind::Real || k == Kind::Decimal;
}

namespace {

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
      DecimalText::Buffer buffer;
      std::string_view text = decimalIf()->text(buffer);
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
      return leadingReal(decimalIf()->text());
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
      std::string_view text = *stringIf();
      if (equalsIgnoringAsciiCase(text, "yes") || equalsIgnoringAsciiCase(text, "true")) {
        return true;
      }
      return leadingInteger(text) != 0;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace tumbla
