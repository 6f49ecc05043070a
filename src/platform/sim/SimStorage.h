#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/Bundle.h"
#include "platform/UserDefaults.h"

namespace tumbla {

// Preferences kept in memory; `stored` is what the last save wrote, so tests can tell
// what reached storage from what is only in memory.
class SimPreferencesStore : public PreferencesStore {
 public:
  struct Image {
    Dictionary stored;
    int saveCount = 0;
    bool failSaves = false;
  };

  explicit SimPreferencesStore(std::shared_ptr<Image> image) : image_(std::move(image)) {}
  Dictionary load() override { return image_->stored; }
  Status save(const Dictionary& preferences) override;

 private:
  std::shared_ptr<Image> image_;
};

// Property lists by table: the test says which bytes stand for which value.
class SimPropertyLists : public PropertyLists {
 public:
  std::optional<Value> parse(std::string_view bytes) const override;
  std::string serialize(const Value& value) const override;

  // Answers bytes that `parse` turns into `value`.
  std::string bytesFor(Value value);

 private:
  std::map<std::string, Value, std::less<>> table_;
};

// A bundle in a folder of the test's, with an information dictionary set in code.
class SimBundle : public Bundle {
 public:
  explicit SimBundle(std::filesystem::path directory) : directory_(std::move(directory)) {}

  const Value* objectForInfoDictionaryKey(std::string_view key) const override {
    return info_.find(key);
  }
  std::optional<std::string> pathForResource(std::string_view name,
                                             std::string_view type) const override;

  void setInfo(std::string key, Value value) { info_.set(std::move(key), std::move(value)); }
  // Writes a resource file into the bundle's folder and answers its path.
  std::string addResource(std::string_view fileName, std::string_view contents);
  const std::filesystem::path& directory() const { return directory_; }

 private:
  std::filesystem::path directory_;
  Dictionary info_;
};

}  // namespace tumbla
