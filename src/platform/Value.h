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
  // Takes the entries in their order; a repeated key keeps its first place and its last
  // value, as setting them one by one would.
  explicit Dictionary(std::vector<Entry> entries);
  Dictionary(const Dictionary& other);
  Dictionary(Dictionary&&) noexcept;
  Dictionary& operator=(const Dictionary& other);
  Dictionary& operator=(Dictionary&&) noexcept;
  ~Dictionary();

  const Value* find(std::string_view key) const;
  Value* find(std::string_view key);
  bool contains(std::string_view key) const { return find(key) != nullptr; }

  // Stores `value` under `key`, replacing an earlier value; answers the stored value.
  Value& set(std::string key, Value value);
  // Answers whether the key was there.
  bool erase(std::string_view key);

  std::size_t size() const;
  bool empty() const;
  void reserve(std::size_t n);
  void clear();

  // Mutable iteration could rename keys behind the index's back, so it drops the index;
  // the next non-const lookup or set rebuilds it.
  iterator begin();
  iterator end();
  const_iterator begin() const;
  const_iterator end() const;

  // Equal when both hold the same keys with equal values, whatever their order.
  bool operator==(const Dictionary& other) const;

 private:
  static constexpr std::size_t kIndexThreshold = 24;

  std::size_t findPosition(std::string_view key) const;
  // Both answer false, leaving the index incomplete, when they meet a repeated key.
  bool rebuildIndex();
  bool indexInsert(std::size_t position);
  bool hasRepeatedKeys();

  std::vector<Entry> entries_;
  // Open addressing over entry positions + 1 (0 marks a free slot); null when the
  // dictionary is small or the index was dropped. Held by pointer to keep Value small.
  std::unique_ptr<std::vector<std::uint32_t>> index_;
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

  // Exact decimal number text, as JSON writes numbers ("12.50", "-0", "1e400"). Numbers
  // are short (canada.json's coordinates have 18 digits), so their text is kept inline
  // and a parsed number costs no allocation; longer texts go to the heap.
  class DecimalText {
   public:
    explicit DecimalText(std::string_view text) {
      if (text.size() > kInlineCapacity) {
        storeOnHeap(text);
        return;
      }
      std::memcpy(inline_, text.data(), text.size());
      inlineSize_ = static_cast<std::uint8_t>(text.size());
    }
    DecimalText(const DecimalText& other) : DecimalText(other.text()) {}
    // The text lives inline or behind a pointer, so the bytes can move as they are.
    DecimalText(DecimalText&& other) noexcept {
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      other.inlineSize_ = 0;
    }
    DecimalText& operator=(DecimalText other) noexcept;
    ~DecimalText() {
      if (onHeap()) delete[] heap_.data;
    }

    std::string_view text() const {
      return onHeap() ? std::string_view(heap_.data, heap_.size)
                      : std::string_view(inline_, inlineSize_);
    }
    bool operator==(const DecimalText& other) const { return text() == other.text(); }

   private:
    static constexpr std::size_t kInlineCapacity = 31;
    static constexpr std::uint8_t kOnHeap = 0xFF;

    struct HeapText {
      char* data;
      std::size_t size;
    };

    bool onHeap() const { return inlineSize_ == kOnHeap; }
    void storeOnHeap(std::string_view text);

    union {
      char inline_[kInlineCapacity];
      HeapText heap_;
    };
    std::uint8_t inlineSize_ = 0;
  };
  // Raw bytes.
  struct Bytes {
    std::string bytes;
    bool operator==(const Bytes&) const = default;
  };

  // A null still has eight defined bytes, as moves copy them whatever the kind.
  Value() noexcept : integer_(0) {}
  Value(std::nullptr_t) noexcept : integer_(0) {}
  Value(const Value& other);
  Value(Value&& other) noexcept : kind_(other.kind_) { moveContentFrom(other); }
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

  Value(std::string text) : kind_(Kind::String) { new (&string_) std::string(std::move(text)); }
  Value(std::string_view text) : kind_(Kind::String) { new (&string_) std::string(text); }
  Value(const char* text) : kind_(Kind::String) { new (&string_) std::string(text); }
  Value(Date date) : date_(date), kind_(Kind::Date) {}
  Value(Array array) : kind_(Kind::Array) { new (&array_) Array(std::move(array)); }
  Value(Dictionary dictionary) : kind_(Kind::Dictionary) {
    new (&dictionary_) Dictionary(std::move(dictionary));
  }
  // Numbers and booleans are made by name, so that 1 and true never mix by accident.
  static Value boolean(bool b);
  static Value integer(std::int64_t i);
  static Value real(double r);
  static Value decimal(std::string_view exactText);
  static Value data(std::string bytes);

  Kind kind() const { return kind_; }
  bool isNull() const { return kind_ == Kind::Null; }
  bool isBoolean() const { return kind_ == Kind::Boolean; }
  bool isString() const { return kind_ == Kind::String; }
  bool isArray() const { return kind_ == Kind::Array; }
  bool isDictionary() const { return kind_ == Kind::Dictionary; }
  // Integer, real and decimal; booleans are not numbers here.
  bool isNumber() const;

  // Typed access; each answers nothing (nullptr) when the kind differs.
  const bool* booleanIf() const { return kind_ == Kind::Boolean ? &boolean_ : nullptr; }
  const std::int64_t* integerIf() const { return kind_ == Kind::Integer ? &integer_ : nullptr; }
  const double* realIf() const { return kind_ == Kind::Real ? &real_ : nullptr; }
  const DecimalText* decimalIf() const { return kind_ == Kind::Decimal ? &decimal_ : nullptr; }
  const std::string* stringIf() const { return kind_ == Kind::String ? &string_ : nullptr; }
  std::string* stringIf() { return kind_ == Kind::String ? &string_ : nullptr; }
  const Bytes* dataIf() const { return kind_ == Kind::Data ? &data_ : nullptr; }
  const Date* dateIf() const { return kind_ == Kind::Date ? &date_ : nullptr; }
  const Array* arrayIf() const { return kind_ == Kind::Array ? &array_ : nullptr; }
  Array* arrayIf() { return kind_ == Kind::Array ? &array_ : nullptr; }
  const Dictionary* dictionaryIf() const {
    return kind_ == Kind::Dictionary ? &dictionary_ : nullptr;
  }
  Dictionary* dictionaryIf() { return kind_ == Kind::Dictionary ? &dictionary_ : nullptr; }

  // Conversions in the manner of a preferences store: booleans are 0 or 1, numbers
  // convert between each other, a string converts by its leading number ("12abc" is 12),
  // "YES"/"true" are true. Anything else answers nothing.
  std::optional<std::int64_t> toInteger() const;
  std::optional<double> toReal() const;
  std::optional<bool> toBoolean() const;

  bool operator==(const Value& other) const;

 private:
  // Kinds are told apart by tests rather than a switch: a parsed tree mixes kinds at
  // random, and the one indirect branch of a jump table mispredicts far more often than
  // these tests do.
  // Null, booleans, numbers held in binary and dates: at most eight plain bytes.
  bool holdsPlainBits() const { return kind_ < Kind::Decimal || kind_ == Kind::Date; }
  bool holdsContainer() const { return kind_ == Kind::Array || kind_ == Kind::Dictionary; }

  // Constructs this value's content from `other`'s, whose kind this value already has.
  void moveContentFrom(Value& other) noexcept {
    static_assert(sizeof(Date) <= sizeof integer_ && sizeof(double) <= sizeof integer_);
    if (holdsPlainBits()) {
      std::memcpy(static_cast<void*>(&integer_), &other.integer_, sizeof integer_);
    } else if (kind_ == Kind::String) {
      new (&string_) std::string(std::move(other.string_));
    } else if (kind_ == Kind::Decimal) {
      new (&decimal_) DecimalText(std::move(other.decimal_));
    } else if (kind_ == Kind::Dictionary) {
      new (&dictionary_) Dictionary(std::move(other.dictionary_));
    } else if (kind_ == Kind::Array) {
      new (&array_) Array(std::move(other.array_));
    } else {
      new (&data_) Bytes(std::move(other.data_));
    }
  }
  // Destroys the content of a decimal, string or data value.
  void destroyText() noexcept {
    if (kind_ == Kind::String) {
      string_.~basic_string();
    } else if (kind_ == Kind::Decimal) {
      decimal_.~DecimalText();
    } else {
      data_.~Bytes();
    }
  }
  // Destroys content that owns memory and leaves this value null.
  void releaseContainer() noexcept;
  void destroyContent() noexcept;

  union {
    bool boolean_;
    std::int64_t integer_;
    double real_;
    DecimalText decimal_;
    std::string string_;
    Bytes data_;
    Date date_;
    Array array_;
    Dictionary dictionary_;
  };
  Kind kind_ = Kind::Null;
};

// Defined once Value is complete.
inline Dictionary::Dictionary(Dictionary&&) noexcept = default;
inline Dictionary& Dictionary::operator=(Dictionary&&) noexcept = default;
inline Dictionary::~Dictionary() = default;
inline std::size_t Dictionary::size() const {
  return entries_.size();
}
inline bool Dictionary::empty() const {
  return entries_.empty();
}
inline void Dictionary::reserve(std::size_t n) {
  entries_.reserve(n);
}
inline void Dictionary::clear() {
  entries_.clear();
  index_.reset();
}
inline Dictionary::iterator Dictionary::begin() {
  index_.reset();
  return entries_.begin();
}
inline Dictionary::iterator Dictionary::end() {
  index_.reset();
  return entries_.end();
}
inline Dictionary::const_iterator Dictionary::begin() const {
  return entries_.begin();
}
inline Dictionary::const_iterator Dictionary::end() const {
  return entries_.end();
}

}  // namespace tumbla
