#include "platform/linux/LibplistPropertyLists.h"

#include <plist/plist.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "value/LeadingNumber.h"

namespace tumbla {

namespace {

// Property-list dates count from 2001-01-01T00:00:00Z.
constexpr double kReferenceDateOffset = 978307200.0;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

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
      return Value(std::string(text ? text : "", length));
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

}  // namespace

std::optional<Value> LibplistPropertyLists::parse(std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
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
