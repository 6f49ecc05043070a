#include "json/SBJsonParser.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "json/JsonNumber.h"
#include "json/JsonWordScan.h"
#include "value/Ascii.h"
#include "value/HexDigits.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

using Code = SBJsonErrorCode;

// A byte as the messages show it: lower-case hexadecimal without leading zeros.
std::string quotedHex(unsigned char c) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "'0x%x'", static_cast<unsigned>(c));
  return buffer;
}

// Where a parse keeps values and members of open containers and the text of escaped
// strings. Each thread keeps its stacks between parses, so that parsing many texts does not
// grow them from nothing every time; only stacks grown huge are given back.
struct ParseStacks {
  struct Frame {
    bool isObject;
    std::size_t first;  // of its elements on values or its members on members
  };
  // A member of an open object. Its key stays where it was read until the object closes,
  // so that it is copied once, into the dictionary: in the text, or in escapedKeys (which
  // grows while the parse goes on, hence offsets) when it had escapes.
  struct Member {
    std::size_t keyOffset;
    std::size_t keySize;
    bool keyEscaped;
    Value value;
  };

  std::vector<Value> values;
  std::vector<Member> members;
  std::vector<Frame> frames;
  std::string scratch;
  std::string escapedKeys;

  static ParseStacks& ofThisThread() {
    thread_local ParseStacks stacks;
    return stacks;
  }

  void clear() {
    clearAndTrim(values);
    clearAndTrim(members);
    clearAndTrim(frames);
    clearAndTrim(scratch);
    clearAndTrim(escapedKeys);
  }

 private:
  template <typename Stack>
  static void clearAndTrim(Stack& stack) {
    constexpr std::size_t kRetainedCapacity = 1 << 16;
    stack.clear();
    if (stack.capacity() > kRetainedCapacity) Stack().swap(stack);
  }
};

// One parse of one text. Elements of open arrays wait on `values_`, members of open
// objects on `members_`, until their container closes; `frames_` holds the open
// containers. Each container is then built at its exact size in one go.
// When something fails, the error of the failing piece is added first and then every
// open container adds its own, innermost first, exactly as a recursive descent would.
class ParseRun {
 public:
  ParseRun(SBJsonBase& trace, unsigned maxDepth, std::string_view text)
      : trace_(trace),
        maxDepth_(maxDepth),
        text_(text.data()),
        p_(reinterpret_cast<const unsigned char*>(text.data())),
        end_(p_ + text.size()),
        stacks_(ParseStacks::ofThisThread()),
        values_(stacks_.values),
        members_(stacks_.members),
        frames_(stacks_.frames),
        scratch_(stacks_.scratch),
        escapedKeys_(stacks_.escapedKeys) {}
  ParseRun(const ParseRun&) = delete;
  ParseRun& operator=(const ParseRun&) = delete;
  ~ParseRun() { stacks_.clear(); }

  std::optional<Value> parse() {
    if (!parseValueTree()) return std::nullopt;
    skipSpace();
    if (p_ != end_) {
      fail(Code::TrailingGarbage, "Garbage after JSON");
      return std::nullopt;
    }
    return std::move(values_.back());
  }

 private:
  enum class Step {
    Completed,        // a value was pushed on values_
    Opened,           // a container was opened on frames_
    ValueFailed,      // the value being read failed; every open container adds its error
    ContainerFailed,  // the innermost open container failed; the ones around it add theirs
  };

  using Frame = ParseStacks::Frame;
  using Member = ParseStacks::Member;

  bool parseValueTree() {
    Step step = scanValue();
    for (;;) {
      switch (step) {
        case Step::ValueFailed:
          addContainerErrors(frames_.size());
          return false;
        case Step::ContainerFailed:
          addContainerErrors(frames_.size() - 1);
          return false;
        case Step::Completed:
          if (frames_.empty()) return true;
          step = continueContainer(false);
          break;
        case Step::Opened:
          step = continueContainer(true);
          break;
      }
    }
  }

  Step continueContainer(bool justOpened) {
    return frames_.back().isObject ? continueObject(justOpened) : continueArray(justOpened);
  }

  void fail(Code code, std::string message) { trace_.addErrorWithCode(code, std::move(message)); }

  bool at(unsigned char c) const { return p_ != end_ && *p_ == c; }

  // Places a finished value where it belongs: as the value of the open object's newest
  // member, or after the open array's elements (or alone, at the top level).
  template <typename... Args>
  void emit(Args&&... args) {
    if (!frames_.empty() && frames_.back().isObject) {
      // The member's value is still null: build the new one in its place.
      Value& slot = members_.back().value;
      slot.~Value();
      new (&slot) Value(std::forward<Args>(args)...);
    } else {
      values_.emplace_back(std::forward<Args>(args)...);
    }
  }

  // Indented text puts a line feed before a run of spaces of varying length. Finding the
  // end of the spaces in eight bytes at once keeps the loop free of a branch per space.
  void skipSpace() {
    constexpr std::uint64_t kEightSpaces = 0x2020202020202020ULL;
    while (p_ != end_ && isAsciiSpace(static_cast<char>(*p_))) {
      ++p_;
      while (end_ - p_ >= 8) {
        std::uint64_t notSpace = json_words::loadWord(p_) ^ kEightSpaces;
        if (notSpace != 0) {
          p_ += json_words::firstNonZeroByte(notSpace);
          break;
        }
        p_ += 8;
      }
    }
  }

  // Reads the value at the read position: a scalar is pushed whole, a container only
  // opened.
  Step scanValue() {
    skipSpace();
    if (p_ == end_) {
      fail(Code::EndOfInput, "Unexpected end of string");
      return Step::ValueFailed;
    }
    switch (*p_++) {
      case '"': {
        std::string_view text;
        if (!scanRestOfString(text)) return Step::ValueFailed;
        emit(text, KnownUtf8{});
        return Step::Completed;
      }
      case '{':
        return open(true);
      case '[':
        return open(false);
      case 't':
        return scanRestOfLiteral("rue", Value::boolean(true), "Expected 'true'");
      case 'f':
        return scanRestOfLiteral("alse", Value::boolean(false), "Expected 'false'");
      case 'n':
        return scanRestOfLiteral("ull", Value(), "Expected 'null'");
      case '-':
      case '0':
      case '1':
      case '2':
      case '3':
      case '4':
      case '5':
      case '6':
      case '7':
      case '8':
      case '9':
        --p_;
        return scanNumber();
      case '+':
        fail(Code::Number, "Leading + disallowed in number");
        return Step::ValueFailed;
      default:
        fail(Code::Parse, "Unrecognised leading character");
        return Step::ValueFailed;
    }
  }

  Step scanRestOfLiteral(std::string_view rest, Value value, const char* message) {
    if (static_cast<std::size_t>(end_ - p_) < rest.size() ||
        std::memcmp(p_, rest.data(), rest.size()) != 0) {
      fail(Code::Parse, message);
      return Step::ValueFailed;
    }
    p_ += rest.size();
    emit(std::move(value));
    return Step::Completed;
  }

  Step scanNumber() {
    const char* start = reinterpret_cast<const char*>(p_);
    JsonNumberScan scan = scanJsonNumber(start, reinterpret_cast<const char*>(end_));
    if (scan.error != nullptr) {
      fail(Code::Number, scan.error);
      return Step::ValueFailed;
    }
    emit(Value::decimal(std::string_view(start, static_cast<std::size_t>(scan.end - start))));
    p_ = reinterpret_cast<const unsigned char*>(scan.end);
    return Step::Completed;
  }

  Step open(bool isObject) {
    if (maxDepth_ != 0 && frames_.size() >= maxDepth_) {
      fail(Code::Depth, "Nested too deep");
      return Step::ValueFailed;
    }
    frames_.push_back(Frame{isObject, isObject ? members_.size() : values_.size()});
    return Step::Opened;
  }

  Step continueArray(bool justOpened) {
    if (!justOpened && !skipSeparatorAfterElement()) return Step::ContainerFailed;
    for (;;) {
      if (p_ == end_) {
        fail(Code::EndOfInput, "End of input while parsing array");
        return Step::ContainerFailed;
      }
      skipSpace();
      if (at(']')) {
        ++p_;
        closeArray();
        return Step::Completed;
      }
      Step step = scanValue();
      if (step != Step::Completed) return step;
      if (!skipSeparatorAfterElement()) return Step::ContainerFailed;
    }
  }

  // The comma is optional; only one right before the closing bracket is an error.
  bool skipSeparatorAfterElement() {
    skipSpace();
    if (!at(',')) return true;
    ++p_;
    skipSpace();
    if (!at(']')) return true;
    fail(Code::TrailingComma, "Trailing comma disallowed in array");
    return false;
  }

  Step continueObject(bool justOpened) {
    if (!justOpened && !skipSeparatorAfterMember()) return Step::ContainerFailed;
    for (;;) {
      if (p_ == end_) {
        fail(Code::EndOfInput, "End of input while parsing object");
        return Step::ContainerFailed;
      }
      skipSpace();
      if (at('}')) {
        ++p_;
        closeObject();
        return Step::Completed;
      }
      if (!at('"')) {
        fail(Code::Parse, "Object key string expected");
        return Step::ContainerFailed;
      }
      ++p_;
      std::string_view key;
      if (!scanRestOfString(key)) {
        fail(Code::Parse, "Object key string expected");
        return Step::ContainerFailed;
      }
      pushMember(key);
      skipSpace();
      if (!at(':')) {
        fail(Code::Parse, "Expected ':' separating key and value");
        return Step::ContainerFailed;
      }
      ++p_;
      Step step = scanValue();
      if (step != Step::Completed) return step;
      if (!skipSeparatorAfterMember()) return Step::ContainerFailed;
    }
  }

  bool skipSeparatorAfterMember() {
    skipSpace();
    if (!at(',')) return true;
    ++p_;
    skipSpace();
    if (!at('}')) return true;
    fail(Code::TrailingComma, "Trailing comma disallowed in object");
    return false;
  }

  void closeArray() {
    auto begin = values_.begin() + static_cast<std::ptrdiff_t>(frames_.back().first);
    frames_.pop_back();
    Array items(std::make_move_iterator(begin), std::make_move_iterator(values_.end()));
    values_.erase(begin, values_.end());
    emit(std::move(items));
  }

  void pushMember(std::string_view key) {
    bool escaped = key.data() == scratch_.data();
    std::size_t offset = static_cast<std::size_t>(key.data() - text_);
    if (escaped) {
      offset = escapedKeys_.size();
      escapedKeys_.append(key);
    }
    members_.push_back(Member{offset, key.size(), escaped, Value()});
  }

  std::string_view keyOf(const Member& member) const {
    const char* base = member.keyEscaped ? escapedKeys_.data() : text_;
    return std::string_view(base + member.keyOffset, member.keySize);
  }

  void closeObject() {
    auto begin = members_.begin() + static_cast<std::ptrdiff_t>(frames_.back().first);
    frames_.pop_back();
    Dictionary::Entries entries;
    entries.reserve(static_cast<std::size_t>(members_.end() - begin));
    for (auto member = begin; member != members_.end(); ++member) {
      entries.emplace_back(Dictionary::Key(keyOf(*member), KnownUtf8{}), std::move(member->value));
    }
    members_.erase(begin, members_.end());
    emit(Dictionary(std::move(entries)));
  }

  // Adds, innermost first, the error of each of the first `count` open containers for
  // the value that failed inside it.
  void addContainerErrors(std::size_t count) {
    for (std::size_t i = count; i-- > 0;) {
      if (!frames_[i].isObject) {
        fail(Code::Parse, "Expected value while parsing array");
        continue;
      }
      // The member being read is this object's newest; members of inner objects follow.
      std::size_t end = members_.size();
      for (std::size_t j = i + 1; j < frames_.size(); ++j) {
        if (frames_[j].isObject) {
          end = frames_[j].first;
          break;
        }
      }
      fail(Code::Parse, "Object value expected for key: " + std::string(keyOf(members_[end - 1])));
    }
  }

  // Reads a string after its opening quote. The result points into the text when the
  // string has no escapes, else into `scratch_`. Each plain run is checked as UTF-8 where
  // it ends, before whatever ended it, so that the first fault in the text is the one
  // reported.
  bool scanRestOfString(std::string_view& result) {
    const unsigned char* runStart = p_;
    bool escaped = false;
    for (;;) {
      skipPlainRun();
      if (p_ == end_) {
        if (!isUtf8Run(runStart)) return false;
        fail(Code::EndOfInput, "Unexpected EOF while parsing string");
        return false;
      }
      unsigned char c = *p_;
      if (c == '"') break;
      if (c == '\\') {
        if (!isUtf8Run(runStart)) return false;
        if (!escaped) scratch_.clear();
        escaped = true;
        appendRun(runStart);
        ++p_;
        if (!scanEscape()) return false;
        runStart = p_;
      } else if (c < 0x20) {
        if (!isUtf8Run(runStart)) return false;
        fail(Code::ControlCharacter, "Unescaped control character " + quotedHex(c));
        return false;
      } else {
        highBytes_ |= c;
        ++p_;
      }
    }
    if (!isUtf8Run(runStart)) return false;
    if (escaped) {
      appendRun(runStart);
      result = scratch_;
    } else {
      result = std::string_view(reinterpret_cast<const char*>(runStart),
                                static_cast<std::size_t>(p_ - runStart));
    }
    ++p_;
    return true;
  }

  // Checks the plain run from `runStart` to the read position, unless it was all ASCII
  // (most keys and short strings: the test is kept where the run ends).
  bool isUtf8Run(const unsigned char* runStart) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    return (std::exchange(highBytes_, 0) & kHighBits) == 0 || isUtf8Text(runStart);
  }

  [[gnu::noinline]] bool isUtf8Text(const unsigned char* runStart) {
    const unsigned char* invalid = firstInvalidUtf8(runStart, p_);
    if (invalid == p_) return true;
    fail(Code::Unicode, "Invalid UTF-8 byte " + quotedHex(*invalid) + " in string");
    return false;
  }

  // Moves the read position to the next byte that ends a plain run of a string, or close
  // to the end of the text. Notes in highBytes_ whether it passed a byte of 0x80 or above
  // (or may have: a word's bytes after the one that ends the run count too).
  void skipPlainRun() {
    while (end_ - p_ >= 8) {
      std::uint64_t word = json_words::loadWord(p_);
      highBytes_ |= word;
      std::uint64_t special = json_words::stringSpecialBytes(word);
      if (special != 0) {
        p_ += json_words::firstNonZeroByte(special);
        return;
      }
      p_ += 8;
    }
  }

  void appendRun(const unsigned char* runStart) {
    scratch_.append(reinterpret_cast<const char*>(runStart),
                    static_cast<std::size_t>(p_ - runStart));
  }

  // Reads the escape after a backslash and appends the character it stands for.
  bool scanEscape() {
    // The end of the text reads as the NUL byte that ends it.
    unsigned char c = p_ == end_ ? 0 : *p_;
    char plain;
    switch (c) {
      case '"':
      case '\\':
      case '/':
        plain = static_cast<char>(c);
        break;
      case 'b':
        plain = '\b';
        break;
      case 'f':
        plain = '\f';
        break;
      case 'n':
        plain = '\n';
        break;
      case 'r':
        plain = '\r';
        break;
      case 't':
        plain = '\t';
        break;
      case 'u':
        ++p_;
        if (scanUnicodeChar()) return true;
        fail(Code::Unicode, "Broken unicode character");
        return false;
      default:
        fail(Code::Escape, "Illegal escape sequence " + quotedHex(c));
        return false;
    }
    scratch_.push_back(plain);
    ++p_;
    return true;
  }

  bool scanUnicodeChar() {
    std::uint32_t high = 0;
    if (!scanHexQuad(high)) {
      fail(Code::Unicode, "Missing hex quad");
      return false;
    }
    if (high < 0xD800 || high >= 0xE000) {
      appendUtf8(scratch_, high);
      return true;
    }
    if (high >= 0xDC00) {
      fail(Code::Unicode, "Invalid high character in surrogate pair");
      return false;
    }
    std::uint32_t low = 0;
    bool lowFollows = end_ - p_ >= 2 && p_[0] == '\\' && p_[1] == 'u';
    if (lowFollows) p_ += 2;
    if (!lowFollows || !scanHexQuad(low)) {
      fail(Code::Unicode, "Missing low character in surrogate pair");
      return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
      fail(Code::Unicode, "Invalid low surrogate char");
      return false;
    }
    appendUtf8(scratch_, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
    return true;
  }

  bool scanHexQuad(std::uint32_t& value) {
    for (int i = 0; i < 4; ++i) {
      int digit = p_ == end_ ? -1 : hexDigitValue(static_cast<char>(*p_));
      if (digit < 0) {
        fail(Code::Unicode, "Missing hex digit in quad");
        return false;
      }
      ++p_;
      value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
  }

  SBJsonBase& trace_;
  const unsigned maxDepth_;
  const char* const text_;
  const unsigned char* p_;
  const unsigned char* const end_;
  ParseStacks& stacks_;
  std::vector<Value>& values_;
  std::vector<Member>& members_;
  std::vector<Frame>& frames_;
  std::string& scratch_;
  std::string& escapedKeys_;
  std::uint64_t highBytes_ = 0;
};

}  // namespace

std::optional<Value> SBJsonParser::objectWithString(std::optional<std::string_view> text) {
  std::optional<Value> value = fragmentWithString(text);
  if (value && !value->isArray() && !value->isDictionary()) {
    addErrorWithCode(Code::Fragment, "Valid fragment, but not JSON");
    return std::nullopt;
  }
  return value;
}

std::optional<Value> SBJsonParser::fragmentWithString(std::optional<std::string_view> text) {
  clearErrorTrace();
  if (!text) {
    addErrorWithCode(Code::NilInput, "Input was 'nil'");
    return std::nullopt;
  }
  return ParseRun(*this, maxDepth(), *text).parse();
}

}  // namespace tumbla
