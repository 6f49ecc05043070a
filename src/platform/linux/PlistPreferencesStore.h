#pragma once

#include <filesystem>

#include "platform/FileManager.h"
#include "platform/UserDefaults.h"
#include "platform/linux/LibplistPropertyLists.h"

namespace tumbla {

// The preferences as one XML property-list file, replaced whole on every save.
//
// A file that is not a property-list dictionary is never overwritten: it is renamed
// beside itself (and the store starts empty, so the registered defaults apply). If it
// cannot be moved out of the way, or cannot be read at all (no permission, a directory, a
// disk error), saving is refused rather than destroying it.
class PlistPreferencesStore : public PreferencesStore {
 public:
  explicit PlistPreferencesStore(std::filesystem::path file);

  const std::filesystem::path& file() const { return file_; }

  Dictionary load() override;
  Status save(const Dictionary& preferences) override;

 private:
  std::filesystem::path file_;
  FileManager files_;
  LibplistPropertyLists propertyLists_;
  bool unreadableFileInTheWay_ = false;
};

}  // namespace tumbla
