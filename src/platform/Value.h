#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Date.h"

namespace tumbla {

class Value;

using Array = std::vector<Value>;

// A dictionary with string keys that remembers the order in which keys were first set.
// Setting an existing key replaces its value in place. Small dictionaries are searched
// linearly; large ones keep a hash index so that building one from untrusted input (a
// JSON object with a million members) stays linear rather than quadratic.
class Dictionary {
 public:
  using Entry = std::pair<std::string, Value>;
  using iterator = std::vector<Entry>::iterator;
  using const_iterator = std::vector<Entry>::const_iterator;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);

  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  // Stores `value` under `key`, replacing an earlier value; answers the stored value.
  Value& set(std::string key, Value value);
  // Answers whether the key was there.
  bool erase(std::string_view key);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void reserve(std::size_t n) { entries_.reserve(n); }
  void clear() {
    entries_.clear();
    index_.clear();
  }

  // Mutable iteration could rename keys behind the index's back, so it drops the index;
  // the next non-const lookup or set rebuilds it.
  iterator begin() {
    index_.clear();
    return entries_.begin();
  }
  iterator end() {
    index_.clear();
    return entries_.end();
  }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

  // Equal when both hold the same keys with equal values, whatever their order.
  bool operator==(const Dictionary& other) const;

 private:
  static constexpr std::size_t kIndexThreshold = 24;

  std::size_t findPosition(std::string_view key) const;
  void rebuildIndex();
  void indexInsert(std::size_t position);

  std::vector<Entry> entries_;
  // Open addressing over entry positions + 1 (0 marks a free slot); empty when the
  // dictionary is small or the index was dropped.
  std::vector<std::uint32_t> index_;
};

// The one value model for property lists and JSON: null, boolean, integer, real,
// decimal number kept as its exact text, string, data, date, array, dictionary.
class Value {
 public:
  enum class Kind : std::uint8_t {
    Null,
    Boolean,
    Integer,
    Real,
    Decimal,
    String,
    Data,
    Date,
    Array,
    Dictionary
  };

  // Exact decimal number text, as JSON writes numbers ("12.50", "-0", "1e400").
  struct DecimalText {
    std::string text;
    bool operator==(const DecimalText&) const = default;
  };
  // Raw bytes.
  struct Bytes {
    std::string bytes;
    bool operator==(const Bytes&) const = default;
  };

  Value() noexcept = default;
  Value(const Value&) = default;
  Value(Value&&) noexcept = default;
  // Assignment releases the previous content through the destructor below, and stays
  // correct when the source lives inside the value being replaced (v = v[0]).
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  // Destroys nested containers without recursing once per level, so that a value nested
  // a million levels deep (parsed with no depth limit) cannot exhaust the stack.
  ~Value();

  Value(std::nullptr_t) noexcept {}
  Value(std::string text) : storage_(std::move(text)) {}
  Value(std::string_view text) : storage_(std::string(text)) {}
  Value(const char* text) : storage_(std::string(text)) {}
  Value(Date date) : storage_(date) {}
  Value(Array array) : storage_(std::move(array)) {}
  Value(Dictionary dictionary) : storage_(std::move(dictionary)) {}
  // Numbers and booleans are made by name, so that 1 and true never mix by accident.
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value real(double r);
  static Value decimal(std::string exactText);
  static Value data(std::string bytes);

  Kind kind() const { return static_cast<Kind>(storage_.index()); }
  bool isNull() const { return kind() == Kind::Null; }
  bool isBoolean() const { return kind() == Kind::Boolean; }
  bool isString() const { return kind() == Kind::String; }
  bool isArray() const { return kind() == Kind::Array; }
  bool isDictionary() const { return kind() == Kind::Dictionary; }
  // Integer, real and decimal; booleans are not numbers here.
  bool isNumber() const;

  // Typed access; each answers nothing (nullptr) when the kind differs.
  const bool* booleanIf() const { return std::get_if<bool>(&storage_); }
  const std::int64_t* integerIf() const { return std::get_if<std::int64_t>(&storage_); }
  const double* realIf() const { return std::get_if<double>(&storage_); }
  const DecimalText* decimalIf() const { return std::get_if<DecimalText>(&storage_); }
  const std::string* stringIf() const { return std::get_if<std::string>(&storage_); }
  std::string* stringIf() { return std::get_if<std::string>(&storage_); }
  const Bytes* dataIf() const { return std::get_if<Bytes>(&storage_); }
  const Date* dateIf() const { return std::get_if<Date>(&storage_); }
  const Array* arrayIf() const { return std::get_if<Array>(&storage_); }
  Array* arrayIf() { return std::get_if<Array>(&storage_); }
  const Dictionary* dictionaryIf() const { return std::get_if<Dictionary>(&storage_); }
  Dictionary* dictionaryIf() { return std::get_if<Dictionary>(&storage_); }

  // Conversions in the manner of a preferences store: booleans are 0 or 1, numbers
  // convert between each other, a string converts by its leading number ("12abc" is 12),
  // "YES"/"true" are true. Anything else answers nothing.
  std::optional<std::int64_t> toInteger() const;
  std::optional<double> toReal() const;
  std::optional<bool> toBoolean() const;

  bool operator==(const Value& other) const { return storage_ == other.storage_; }

 private:
  using Storage = std::variant<std::monostate, bool, std::int64_t, double, DecimalText, std::string,
                               Bytes, Date, Array, Dictionary>;
  explicit Value(Storage storage) : storage_(std::move(storage)) {}

  Storage storage_;
};

}  // namespace tumbla
