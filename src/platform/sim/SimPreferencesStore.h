#pragma once

#include <filesystem>
#include <memory>

#include "platform/Platform.h"
#include "platform/Storage.h"
#include "platform/UserDefaults.h"

namespace tumbla {

// Preferences kept in memory; `stored` is what the last save wrote, so tests can tell
// what reached storage from what is only in memory. Every save writes the preferences
// file through the platform's storage first, so that a test makes it fail as it makes any
// other file's write fail.
class SimPreferencesStore : public PreferencesStore {
 public:
  struct Image {
    Dictionary stored;
    int saveCount = 0;
  };

  // Makes stores over `image` (a fresh, empty one by default) for a platform.
  static Platform::PreferencesStoreMaker maker(std::shared_ptr<Image> image = nullptr);
  // Where the preferences file lies: beside the documents directory, as in a data
  // directory the player chose.
  static std::filesystem::path fileIn(const Storage& storage);

  SimPreferencesStore(std::shared_ptr<Image> image, Storage& storage)
      : image_(std::move(image)), storage_(storage) {}
  Dictionary load() override { return image_->stored; }
  Status save(const Dictionary& preferences) override;

 private:
  std::shared_ptr<Image> image_;
  Storage& storage_;
};

}  // namespace tumbla
