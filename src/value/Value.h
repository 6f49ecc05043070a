#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "value/Date.h"
#include "value/storage/BlockVector.h"
#include "value/storage/CompactText.h"
#include "value/storage/DecimalText.h"

namespace tumbla {

class Value;
class Dictionary;

using Array = BlockVector<Value>;

// The one value model for property lists and JSON: null, boolean, integer, real,
// decimal number kept as its exact text, string, data, date, array, dictionary.
//
// Layout, chosen for parsed documents (millions of small values, built once, freed whole):
// - Sixteen bytes: fifteen of content and the kind. Strings and data of up to fourteen
//   bytes are inline (CompactText); decimal number texts of up to 28 characters are packed
//   two characters to a byte (DecimalText), so that a coordinate such as those of a map
//   document costs no allocation.
// - Longer texts, and the elements of an array or a dictionary, live in one heap block
//   each (length and bytes; size, capacity and elements: BlockVector). The JSON parser
//   builds each container at its exact size when it closes.
// - A dictionary entry is 32 bytes: a key inline up to fifteen bytes, and a value.
// - Blocks of up to 4 KB come from BlockPool: by 8-byte size class, cut from slabs of two
//   megabytes (a thread's first on small pages, its later ones on huge pages) and kept by
//   the thread that frees them. Larger blocks come from the general allocator.
// - Every part of the content moves as plain bytes, so moving a value is a copy of
//   sixteen bytes.
// An earlier value of 40 bytes with 72-byte entries, on the general allocator alone, spent
// about a sixth of a parse in malloc and free.
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

  using DecimalText = tumbla::DecimalText;

  Value() noexcept = default;
  Value(std::nullptr_t) noexcept {}
  Value(const Value& other);
  Value(Value&& other) noexcept : kind_(other.kind_) {
    std::memcpy(content_, other.content_, sizeof content_);
    other.kind_ = Kind::Null;
  }
  // Assignment releases the previous content through the destructor below, and stays
  // correct when the source lives inside the value being replaced (v = v[0]).
  Value& operator=(const Value& other);
  Value& operator=(Value&& other) noexcept;
  // Destroys nested containers without recursing once per level, so that a value nested
  // a million levels deep (parsed with no depth limit) cannot exhaust the stack.
  ~Value() {
    if (holdsPlainBits()) return;
    if (holdsContainer()) {
      releaseContainer();
    } else {
      destroyText();
    }
  }

  Value(std::string_view text) : kind_(Kind::String) { new (content_) Text(text); }
  Value(const std::string& text) : Value(std::string_view(text)) {}
  Value(const char* text) : Value(std::string_view(text)) {}
  // A string whose text was checked as UTF-8 by its maker; writers trust it.
  Value(std::string_view text, KnownUtf8 known) : kind_(Kind::String) {
    new (content_) Text(text, known);
  }
  Value(Date date) : kind_(Kind::Date) { new (content_) Date(date); }
  Value(Array array);
  Value(Dictionary dictionary);
  // Numbers and booleans are made by name, so that 1 and true never mix by accident.
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value real(double r);
  static Value decimal(std::string_view exactText);
  static Value data(std::string_view bytes);

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool isArray() const { return kind_ == Kind::Array; }
  bool isDictionary() const { return kind_ == Kind::Dictionary; }
  // Integer, real and decimal; booleans are not numbers here.
  bool isNumber() const;

  // Typed access; each answers nothing when the kind differs.
  const bool* booleanIf() const { return contentIf<bool>(Kind::Boolean); }
  const std::int64_t* integerIf() const { return contentIf<std::int64_t>(Kind::Integer); }
  const double* realIf() const { return contentIf<double>(Kind::Real); }
  const DecimalText* decimalIf() const { return contentIf<DecimalText>(Kind::Decimal); }
  std::optional<std::string_view> stringIf() const { return textIf(Kind::String); }
  std::optional<std::string_view> dataIf() const { return textIf(Kind::Data); }
  // True for a string made with KnownUtf8, or a copy of one.
  bool isKnownUtf8String() const { return kind_ == Kind::String && content<Text>().isKnownUtf8(); }
  const Date* dateIf() const { return contentIf<Date>(Kind::Date); }
  const Array* arrayIf() const { return contentIf<Array>(Kind::Array); }
  Array* arrayIf() { return contentIf<Array>(Kind::Array); }
  const Dictionary* dictionaryIf() const { return contentIf<Dictionary>(Kind::Dictionary); }
  Dictionary* dictionaryIf() { return contentIf<Dictionary>(Kind::Dictionary); }

  // Conversions in the manner of a preferences store: booleans are 0 or 1, numbers
  // convert between each other, a string converts by its leading number ("12abc" is 12),
  // "YES"/"true" are true. Anything else answers nothing.
  std::optional<std::int64_t> toInteger() const;
  std::optional<double> toReal() const;
  std::optional<bool> toBoolean() const;

  bool operator==(const Value& other) const;

 private:
  // A value of one of the kinds kept as a plain scalar (boolean, integer, real).
  template <class Scalar>
  static Value holding(Kind kind, Scalar scalar);

  // Strings and data.
  using Text = CompactText<14>;

  template <typename T>
  const T* contentIf(Kind kind) const {
    return kind_ == kind ? std::launder(reinterpret_cast<const T*>(content_)) : nullptr;
  }
  template <typename T>
  T* contentIf(Kind kind) {
    return kind_ == kind ? std::launder(reinterpret_cast<T*>(content_)) : nullptr;
  }
  template <typename T>
  T& content() {
    return *std::launder(reinterpret_cast<T*>(content_));
  }
  template <typename T>
  const T& content() const {
    return *std::launder(reinterpret_cast<const T*>(content_));
  }
  std::optional<std::string_view> textIf(Kind kind) const {
    if (kind_ != kind) return std::nullopt;
    return content<Text>().view();
  }

  // Kinds are told apart by tests rather than a switch: a parsed tree mixes kinds at
  // random, and the one indirect branch of a jump table mispredicts far more often than
  // these tests do.
  // Null, booleans, numbers held in binary and dates: at most eight plain bytes.
  bool holdsPlainBits() const { return kind_ < Kind::Decimal || kind_ == Kind::Date; }
  bool holdsContainer() const { return kind_ == Kind::Array || kind_ == Kind::Dictionary; }

  // Destroys the content of a decimal, string or data value.
  void destroyText() noexcept {
    if (kind_ == Kind::Decimal) {
      content<DecimalText>().~DecimalText();
    } else {
      content<Text>().~Text();
    }
  }
  // Destroys content that owns memory and leaves this value null.
  void releaseContainer() noexcept;
  void destroyContent() noexcept;

  // Null's content bytes are defined too, as moves copy them whatever the kind.
  alignas(8) unsigned char content_[15] = {};
  Kind kind_ = Kind::Null;
};

// A dictionary with string keys that remembers the order in which keys were first set.
// Setting an existing key replaces its value in place. Small dictionaries are searched
// linearly; large ones keep a hash index so that building one from untrusted input (a
// JSON object with a million members) stays linear rather than quadratic.
class Dictionary {
 public:
  // Keys of up to fifteen bytes are kept inline.
  using Key = CompactText<15>;
  struct Entry {
    Key first;
    Value second;
  };
  // Open addressing over entry positions + 1 (0 marks a free slot), in a pool block of its
  // own; kept in the entries' block, and empty when the dictionary is small or the index
  // was dropped.
  using Index = BlockVector<std::uint32_t>;
  using Entries = BlockVector<Entry, Index>;
  using iterator = Entries::iterator;
  using const_iterator = Entries::const_iterator;

  Dictionary() = default;
  Dictionary(std::initializer_list<Entry> entries);
  // Takes the entries in their order; a repeated key keeps its first place and its last
  // value, as setting them one by one would.
  explicit Dictionary(Entries entries);
  Dictionary(const Dictionary& other);
  Dictionary(Dictionary&&) noexcept = default;
  Dictionary& operator=(const Dictionary& other);
  Dictionary& operator=(Dictionary&&) noexcept = default;

  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  // Stores `value` under `key`, replacing an earlier value; answers the stored value.
  Value& set(Key key, Value value);
  // Answers whether the key was there.
  bool erase(std::string_view key);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void reserve(std::size_t n) { entries_.reserve(n); }
  void clear() {
    dropIndex();
    entries_.clear();
  }

  // Mutable iteration could rename keys behind the index's back, so it drops the index;
  // the next non-const lookup or set rebuilds it.
  iterator begin() {
    dropIndex();
    return entries_.begin();
  }
  iterator end() {
    dropIndex();
    return entries_.end();
  }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

  // Equal when both hold the same keys with equal values, whatever their order.
  bool operator==(const Dictionary& other) const;

 private:
  static constexpr std::size_t kIndexThreshold = 24;

  const Index* index() const {
    const Index* index = entries_.extra();
    return index != nullptr && !index->empty() ? index : nullptr;
  }
  void dropIndex() {
    if (Index* index = entries_.extra()) *index = Index();
  }
  std::size_t findPosition(std::string_view key) const;
  // Both answer false, leaving the index incomplete, when they meet a repeated key.
  bool rebuildIndex();
  bool indexInsert(std::size_t position);
  bool hasRepeatedKeys();

  Entries entries_;
};

inline Value::Value(Array array) : kind_(Kind::Array) {
  new (content_) Array(std::move(array));
}
inline Value::Value(Dictionary dictionary) : kind_(Kind::Dictionary) {
  new (content_) Dictionary(std::move(dictionary));
}

}  // namespace tumbla
