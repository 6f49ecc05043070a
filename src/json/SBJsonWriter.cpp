#include "json/SBJsonWriter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "json/JsonNumber.h"
#include "json/JsonWordScan.h"
#include "value/HexDigits.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

using Code = SBJsonErrorCode;

// How values of kinds JSON has no text for are named in errors.
const char* unsupportedKindName(Value::Kind kind) {
  return kind == Value::Kind::Date ? "Date" : "Data";
}

// The escape written for each byte below 0x20 and for the quote and the backslash; null
// for bytes written as they are.
struct EscapeTable {
  char text[256][7] = {};

  EscapeTable() {
    for (int c = 0; c < 0x20; ++c) {
      char* e = text[c];
      e[0] = '\\', e[1] = 'u', e[2] = '0', e[3] = '0', e[4] = kLowerHexDigits[c >> 4],
      e[5] = kLowerHexDigits[c & 15];
    }
    const std::pair<unsigned char, const char*> shortForms[] = {
        {'\b', "\\b"}, {'\f', "\\f"}, {'\n', "\\n"}, {'\r', "\\r"},
        {'\t', "\\t"}, {'"', "\\\""}, {'\\', "\\\\"}};
    for (const auto& [c, form] : shortForms) std::strcpy(text[c], form);
  }
};

const EscapeTable kEscapes;

// One conversion of one value. Open containers are frames on an explicit stack; when a
// value fails, each open dictionary adds an error naming its key, innermost first.
class WriteRun {
 public:
  WriteRun(SBJsonBase& trace, unsigned maxDepth, bool humanReadable, bool sortKeys)
      : trace_(trace), maxDepth_(maxDepth), humanReadable_(humanReadable), sortKeys_(sortKeys) {
    out_.reserve(128);
  }

  std::optional<std::string> write(const Value& root) {
    if (!writeValue(root) || !writeOpenContainers()) return std::nullopt;
    return std::move(out_);
  }

  bool writeTo(const Value& root, const SBJsonWriter::TextSink& sink) {
    sink_ = &sink;
    out_.reserve(kPieceBytes + kPieceBytes / 8);
    bool written = writeValue(root) && writeOpenContainers();
    if (written) sink(out_);
    return written;
  }

 private:
  struct Frame {
    const Array* array;  // exactly one of array and dictionary is set
    const Dictionary* dictionary;
    std::size_t count;
    std::size_t next;
    std::size_t firstSorted;  // where this dictionary's sorted entries start
  };

  void fail(Code code, std::string message) { trace_.addErrorWithCode(code, std::move(message)); }

  bool writeOpenContainers() {
    while (!frames_.empty()) {
      if (sink_ != nullptr && out_.size() >= kPieceBytes) {
        (*sink_)(out_);
        out_.clear();
      }
      Frame& frame = frames_.back();
      if (frame.next == frame.count) {
        close();
        continue;
      }
      std::size_t i = frame.next++;
      if (i > 0) out_.push_back(',');
      if (humanReadable_) indent(frames_.size());
      const Value* value;
      if (frame.array != nullptr) {
        value = &(*frame.array)[i];
      } else {
        const Dictionary::Entry& entry = memberAt(frame, i);
        if (!writeString(entry.first, entry.first.isKnownUtf8())) {
          addDictionaryErrors();
          return false;
        }
        out_.append(humanReadable_ ? " : " : ":");
        value = &entry.second;
      }
      // May push a frame, so `frame` is not used after this.
      if (!writeValue(*value)) {
        addDictionaryErrors();
        return false;
      }
    }
    return true;
  }

  const Dictionary::Entry& memberAt(const Frame& frame, std::size_t i) const {
    if (sortKeys_) return *sorted_[frame.firstSorted + i];
    return *(frame.dictionary->begin() + static_cast<std::ptrdiff_t>(i));
  }

  void close() {
    const Frame& frame = frames_.back();
    bool isArray = frame.array != nullptr;
    bool empty = frame.count == 0;
    if (frame.dictionary != nullptr && sortKeys_) sorted_.resize(frame.firstSorted);
    frames_.pop_back();
    if (humanReadable_ && !empty) indent(frames_.size());
    out_.push_back(isArray ? ']' : '}');
  }

  void indent(std::size_t depth) {
    out_.push_back('\n');
    out_.append(2 * depth, ' ');
  }

  // Writes a scalar whole, or opens a container; false after adding an error.
  bool writeValue(const Value& value) {
    switch (value.kind()) {
      case Value::Kind::Array:
        return open(value.arrayIf(), nullptr);
      case Value::Kind::Dictionary:
        return open(nullptr, value.dictionaryIf());
      case Value::Kind::String:
        return writeString(*value.stringIf(), value.isKnownUtf8String());
      case Value::Kind::Boolean:
        out_.append(*value.booleanIf() ? "true" : "false");
        return true;
      case Value::Kind::Null:
        out_.append("null");
        return true;
      case Value::Kind::Integer:
        return writeInteger(*value.integerIf());
      case Value::Kind::Real:
        return writeReal(*value.realIf());
      case Value::Kind::Decimal:
        return writeDecimal(*value.decimalIf());
      case Value::Kind::Data:
      case Value::Kind::Date:
        break;
    }
    fail(Code::UnsupportedType,
         std::string("JSON serialisation not supported for ") + unsupportedKindName(value.kind()));
    return false;
  }

  bool open(const Array* array, const Dictionary* dictionary) {
    if (maxDepth_ != 0 && frames_.size() >= maxDepth_) {
      fail(Code::Depth, "Nested too deep");
      return false;
    }
    std::size_t count = array != nullptr ? array->size() : dictionary->size();
    frames_.push_back(Frame{array, dictionary, count, 0, sorted_.size()});
    if (dictionary != nullptr && sortKeys_) {
      for (const auto& entry : *dictionary) sorted_.push_back(&entry);
      std::sort(sorted_.end() - static_cast<std::ptrdiff_t>(count), sorted_.end(),
                [](const Dictionary::Entry* a, const Dictionary::Entry* b) {
                  return a->first < b->first;
                });
    }
    out_.push_back(array != nullptr ? '[' : '{');
    return true;
  }

  void addDictionaryErrors() {
    for (std::size_t i = frames_.size(); i-- > 0;) {
      const Frame& frame = frames_[i];
      if (frame.dictionary == nullptr) continue;
      // `next` has already moved past the member being written.
      fail(Code::UnsupportedType, "Unsupported value for key " +
                                      std::string(memberAt(frame, frame.next - 1).first) +
                                      " in object");
    }
  }

  bool writeInteger(std::int64_t integer) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, integer);
    out_.append(buffer, result.ptr);
    return true;
  }

  bool writeReal(double real) {
    if (!std::isfinite(real)) {
      fail(Code::UnsupportedType,
           std::string("JSON serialisation not supported for non-finite number ") +
               (std::isnan(real) ? "nan"
                : real > 0       ? "inf"
                                 : "-inf"));
      return false;
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, real);
    out_.append(buffer, result.ptr);
    return true;
  }

  bool writeDecimal(const Value::DecimalText& decimal) {
    Value::DecimalText::Buffer buffer;
    std::string_view text = decimal.text(buffer);
    if (!isJsonNumber(text.data(), text.data() + text.size())) {
      fail(Code::UnsupportedType, "JSON serialisation not supported for decimal text '" +
                                      std::string(text) + "' that is not a number");
      return false;
    }
    out_.append(text);
    return true;
  }

  // Text known to be UTF-8 (a parsed string, or a copy of one) is not checked again.
  bool writeString(std::string_view text, bool knownUtf8) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    if (!knownUtf8 && firstInvalidUtf8(p, end) != end) {
      fail(Code::UnsupportedType,
           "JSON serialisation not supported for a string that is not valid UTF-8");
      return false;
    }
    out_.push_back('"');
    const unsigned char* runStart = p;
    for (;;) {
      while (end - p >= 8 && !json_words::hasStringSpecialByte(json_words::loadWord(p))) p += 8;
      if (p == end) break;
      unsigned char c = *p;
      if (kEscapes.text[c][0] != '\0') {
        out_.append(reinterpret_cast<const char*>(runStart),
                    static_cast<std::size_t>(p - runStart));
        out_.append(kEscapes.text[c]);
        runStart = ++p;
      } else {
        ++p;
      }
    }
    out_.append(reinterpret_cast<const char*>(runStart), static_cast<std::size_t>(p - runStart));
    out_.push_back('"');
    return true;
  }

  SBJsonBase& trace_;
  const unsigned maxDepth_;
  const bool humanReadable_;
  const bool sortKeys_;
  std::string out_;
  std::vector<Frame> frames_;
  std::vector<const Dictionary::Entry*> sorted_;
  // With a sink, the text goes to it whenever this much has been made, and the same
  // buffer is used again.
  static constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
  const SBJsonWriter::TextSink* sink_ = nullptr;
};

}  // namespace

bool SBJsonWriter::startWriting(const Value& value, bool allowScalar) {
  clearErrorTrace();
  if (allowScalar || value.isArray() || value.isDictionary()) return true;
  addErrorWithCode(Code::Fragment, "Not valid type for JSON");
  return false;
}

std::optional<std::string> SBJsonWriter::stringWithObject(const Value& value) {
  if (!startWriting(value, false)) return std::nullopt;
  return WriteRun(*this, maxDepth(), humanReadable_, sortKeys_).write(value);
}

std::optional<std::string> SBJsonWriter::stringWithFragment(const Value& value) {
  if (!startWriting(value, true)) return std::nullopt;
  return WriteRun(*this, maxDepth(), humanReadable_, sortKeys_).write(value);
}

bool SBJsonWriter::writeObject(const Value& value, bool allowScalar, const TextSink& sink) {
  if (!startWriting(value, allowScalar)) return false;
  return WriteRun(*this, maxDepth(), humanReadable_, sortKeys_).writeTo(value, sink);
}

}  // namespace tumbla
