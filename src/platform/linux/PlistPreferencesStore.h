#pragma once

#include <filesystem>
#include <optional>

#include "platform/Storage.h"
#include "platform/UserDefaults.h"
#include "platform/linux/LibplistPropertyLists.h"

namespace tumbla {

// The preferences as one XML property-list file, replaced whole on every save through the
// platform's storage.
//
// A file that is not a property-list dictionary is never overwritten: it is renamed
// beside itself (and the store starts empty, so the registered defaults apply). If it
// cannot be moved out of the way, or cannot be read at all (no permission, a directory, a
// disk error), saving is refused rather than destroying it.
class PlistPreferencesStore : public PreferencesStore {
 public:
  PlistPreferencesStore(Storage& storage, std::filesystem::path file);

  const std::filesystem::path& file() const { return file_; }

  Dictionary load() override;
  Status save(const Dictionary& preferences) override;

 private:
  Storage& files_;
  std::filesystem::path file_;
  LibplistPropertyLists propertyLists_;
  // Set once the file was found unusable and left in place: the system's reason for it
  // (0 when it gave none), which a refused save carries.
  std::optional<int> fileInTheWayError_;
};

}  // namespace tumbla
