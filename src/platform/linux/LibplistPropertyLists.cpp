#include "platform/linux/LibplistPropertyLists.h"

#include <plist/plist.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <string_view>

#include "value/LeadingNumber.h"

namespace tumbla {

namespace {

// Property-list dates count from 2001-01-01T00:00:00Z.
constexpr double kReferenceDateOffset = 978307200.0;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

// libplist reads the text of an XML real with the C library under the process locale, so
// "1.5" became 1 for a German player. Before parsing, each real's text is moved into a
// string that starts with a mark, and the conversion reads that text itself.
constexpr std::string_view kRealMark = "\x01tumbla-real\x01";

// The XML with every <real> turned into a marked <string>; nothing when there is no real
// or the text already holds the mark (then libplist reads the reals itself).
std::optional<std::string> markReals(std::string_view xml) {
  if (xml.find("<real") == std::string_view::npos ||
      xml.find(kRealMark.substr(1, kRealMark.size() - 2)) != std::string_view::npos) {
    return std::nullopt;
  }
  std::string marked;
  marked.reserve(xml.size() + xml.size() / 8);
  std::size_t i = 0;
  // Copies up to and including `end` (or to the end of the text).
  auto copyThrough = [&](std::string_view end) {
    std::size_t found = xml.find(end, i);
    std::size_t stop = found == std::string_view::npos ? xml.size() : found + end.size();
    marked.append(xml.substr(i, stop - i));
    i = stop;
  };
  while (i < xml.size()) {
    std::size_t open = xml.find('<', i);
    if (open == std::string_view::npos) open = xml.size();
    marked.append(xml.substr(i, open - i));
    i = open;
    if (i == xml.size()) break;
    std::string_view rest = xml.substr(i);
    if (rest.starts_with("<!--")) {
      copyThrough("-->");
    } else if (rest.starts_with("<![CDATA[")) {
      copyThrough("]]>");
    } else if (rest.starts_with("<real/>")) {
      marked.append("<string>").append(kRealMark).append("</string>");
      i += std::string_view("<real/>").size();
    } else if (rest.starts_with("<real>")) {
      std::size_t textStart = i + std::string_view("<real>").size();
      std::size_t close = xml.find("</real>", textStart);
      if (close == std::string_view::npos) return std::nullopt;
      marked.append("<string>").append(kRealMark);
      marked.append(xml.substr(textStart, close - textStart)).append("</string>");
      i = close + std::string_view("</real>").size();
    } else {
      marked.push_back('<');
      ++i;
    }
  }
  return marked;
}

std::optional<Value> toValue(plist_t node, int depth);

std::optional<Value> dictionaryToValue(plist_t node, int depth) {
  Dictionary dictionary;
  dictionary.reserve(plist_dict_get_size(node));
  plist_dict_iter iterator = nullptr;
  plist_dict_new_iter(node, &iterator);
  bool complete = true;
  while (true) {
    char* key = nullptr;
    plist_t item = nullptr;
    plist_dict_next_item(node, iterator, &key, &item);
    if (!item) {
      std::free(key);
      break;
    }
    std::optional<Value> value = toValue(item, depth + 1);
    if (value) dictionary.set(key ? key : "", std::move(*value));
    std::free(key);
    if (!value) {
      complete = false;
      break;
    }
  }
  std::free(iterator);
  if (!complete) return std::nullopt;
  return Value(std::move(dictionary));
}

std::optional<Value> arrayToValue(plist_t node, int depth) {
  Array array;
  uint32_t count = plist_array_get_size(node);
  array.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    std::optional<Value> value = toValue(plist_array_get_item(node, i), depth + 1);
    if (!value) return std::nullopt;
    array.push_back(std::move(*value));
  }
  return Value(std::move(array));
}

std::optional<Value> toValue(plist_t node, int depth) {
  if (depth > LibplistPropertyLists::kMaxDepth) return std::nullopt;
  switch (plist_get_node_type(node)) {
    case PLIST_DICT:
      return dictionaryToValue(node, depth);
    case PLIST_ARRAY:
      return arrayToValue(node, depth);
    case PLIST_STRING: {
      uint64_t length = 0;
      const char* text = plist_get_string_ptr(node, &length);
      std::string_view string(text ? text : "", length);
      if (string.starts_with(kRealMark))
        return Value::real(leadingReal(string.substr(kRealMark.size())));
      return Value(std::string(string));
    }
    case PLIST_UINT: {
      // Signed values are stored in the same 64 bits.
      uint64_t bits = 0;
      plist_get_uint_val(node, &bits);
      return Value::integer(static_cast<std::int64_t>(bits));
    }
    case PLIST_REAL: {
      double real = 0;
      plist_get_real_val(node, &real);
      return Value::real(real);
    }
    case PLIST_BOOLEAN: {
      uint8_t flag = 0;
      plist_get_bool_val(node, &flag);
      return Value::boolean(flag != 0);
    }
    case PLIST_DATE: {
      int32_t seconds = 0;
      int32_t microseconds = 0;
      plist_get_date_val(node, &seconds, &microseconds);
      return Value(Date{kReferenceDateOffset + seconds + microseconds / 1e6});
    }
    case PLIST_DATA: {
      uint64_t length = 0;
      const char* bytes = plist_get_data_ptr(node, &length);
      return Value::data(std::string(bytes ? bytes : "", length));
    }
    case PLIST_UID: {
      uint64_t uid = 0;
      plist_get_uid_val(node, &uid);
      return Value::integer(static_cast<std::int64_t>(uid));
    }
    case PLIST_KEY:
    case PLIST_NONE:
      return std::nullopt;
  }
  return std::nullopt;
}

plist_t decimalToNode(const std::string& text) {
  std::int64_t whole = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), whole);
  if (error == std::errc() && end == text.data() + text.size()) {
    return plist_new_uint(static_cast<uint64_t>(whole));
  }
  return plist_new_real(leadingReal(text));
}

plist_t dateToNode(Date date) {
  // The XML form has no fractions of a second.
  double sinceReference = std::floor(date.secondsSince1970 - kReferenceDateOffset);
  return plist_new_date(static_cast<int32_t>(sinceReference), 0);
}

// Nothing for a null, which has no property-list form.
plist_t toNode(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return nullptr;
    case Value::Kind::Boolean:
      return plist_new_bool(*value.booleanIf());
    case Value::Kind::Integer:
      return plist_new_uint(static_cast<uint64_t>(*value.integerIf()));
    case Value::Kind::Real:
      return plist_new_real(*value.realIf());
    case Value::Kind::Decimal:
      return decimalToNode(value.decimalIf()->text());
    case Value::Kind::String:
      return plist_new_string(std::string(*value.stringIf()).c_str());
    case Value::Kind::Data: {
      std::string_view bytes = *value.dataIf();
      return plist_new_data(bytes.data(), bytes.size());
    }
    case Value::Kind::Date:
      return dateToNode(*value.dateIf());
    case Value::Kind::Array: {
      plist_t array = plist_new_array();
      for (const Value& item : *value.arrayIf()) {
        if (plist_t node = toNode(item)) plist_array_append_item(array, node);
      }
      return array;
    }
    case Value::Kind::Dictionary: {
      plist_t dictionary = plist_new_dict();
      for (const auto& [key, item] : *value.dictionaryIf()) {
        if (plist_t node = toNode(item))
          plist_dict_set_item(dictionary, std::string(key).c_str(), node);
      }
      return dictionary;
    }
  }
  return nullptr;
}

// A big-endian unsigned number of `size` bytes at `at`, when it lies within `bytes`.
std::optional<std::uint64_t> bigEndian(std::string_view bytes, std::uint64_t at,
                                       std::uint64_t size) {
  if (size == 0 || size > 8 || at > bytes.size() || size > bytes.size() - at) return std::nullopt;
  std::uint64_t number = 0;
  for (std::uint64_t i = 0; i < size; ++i) {
    number = number << 8 | static_cast<unsigned char>(bytes[at + i]);
  }
  return number;
}

// Whether a binary property list holds a string with a NUL in it. libplist reads such a
// string as a dictionary key by asserting that it has none, which ends the program; a list
// from a server must not be able to do that. Parts that can't be read are left to libplist,
// which refuses what is broken.
bool binaryListHasNulInAString(std::string_view bytes) {
  constexpr std::uint64_t kTrailer = 32;
  if (bytes.size() < 8 + kTrailer) return false;
  std::uint64_t trailer = bytes.size() - kTrailer;
  auto offsetSize = bigEndian(bytes, trailer + 6, 1);
  auto objects = bigEndian(bytes, trailer + 8, 8);
  auto table = bigEndian(bytes, trailer + 24, 8);
  if (!offsetSize || !objects || !table) return false;
  for (std::uint64_t object = 0; object < *objects; ++object) {
    if (*objects > bytes.size()) return false;
    auto offset = bigEndian(bytes, *table + object * *offsetSize, *offsetSize);
    if (!offset) return false;
    auto marker = bigEndian(bytes, *offset, 1);
    if (!marker) continue;
    unsigned type = static_cast<unsigned>(*marker) >> 4;
    if (type != 0x5 && type != 0x6) continue;
    std::uint64_t count = *marker & 0xF;
    std::uint64_t start = *offset + 1;
    if (count == 0xF) {
      auto sizeMarker = bigEndian(bytes, start, 1);
      if (!sizeMarker || (*sizeMarker >> 4) != 0x1) continue;
      std::uint64_t width = std::uint64_t{1} << (*sizeMarker & 0xF);
      auto counted = bigEndian(bytes, start + 1, width);
      if (!counted) continue;
      count = *counted;
      start += 1 + width;
    }
    std::uint64_t unit = type == 0x5 ? 1 : 2;
    if (start > bytes.size() || count > (bytes.size() - start) / unit) continue;
    for (std::uint64_t i = 0; i < count; ++i) {
      if (bigEndian(bytes, start + i * unit, unit) == std::uint64_t{0}) return true;
    }
  }
  return false;
}

}  // namespace

std::optional<Value> LibplistPropertyLists::parse(std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  // Binary property lists hold their reals as bits, not text.
  std::optional<std::string> marked;
  if (!bytes.starts_with("bplist")) {
    marked = markReals(bytes);
  } else if (binaryListHasNulInAString(bytes)) {
    return std::nullopt;
  }
  if (marked) {
    if (marked->size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    bytes = *marked;
  }
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), &root);
  if (!root) return std::nullopt;
  PlistPtr owner(root);
  return toValue(root, 0);
}

std::string LibplistPropertyLists::serialize(const Value& value) const {
  plist_t root = toNode(value);
  if (!root) return {};
  PlistPtr owner(root);
  char* xml = nullptr;
  uint32_t length = 0;
  plist_to_xml(root, &xml, &length);
  if (!xml) return {};
  std::string text(xml, length);
  plist_to_xml_free(xml);
  return text;
}

}  // namespace tumbla
