#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tumbla {

// The parameters of a request or a web dialog: string keys in the order they were first
// set, each holding a string, an image (PNG bytes) or raw bytes. Requests and dialogs keep
// a reference to the caller's parameters, and the session adds its entries in place.
class FBParams {
 public:
  // An image, already encoded as PNG; shared so that an upload never copies it.
  struct Image {
    std::shared_ptr<const std::string> png;
  };
  // Raw bytes sent as they are.
  struct Data {
    std::shared_ptr<const std::string> bytes;
  };
  using Value = std::variant<std::string, Image, Data>;
  using Entry = std::pair<std::string, Value>;

  FBParams() = default;
  FBParams(std::initializer_list<Entry> entries);

  static std::shared_ptr<FBParams> make(std::initializer_list<Entry> entries = {}) {
    return std::make_shared<FBParams>(entries);
  }

  // Replaces the value of an existing key in place, or adds the key at the end.
  void set(std::string_view key, Value value);
  const Value* find(std::string_view key) const;
  // The value when it is a string.
  const std::string* findString(std::string_view key) const;
  bool erase(std::string_view key);

  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  std::vector<Entry>::const_iterator begin() const { return entries_.begin(); }
  std::vector<Entry>::const_iterator end() const { return entries_.end(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace tumbla
