#include "platform/sim/SimPreferencesStore.h"

namespace tumbla {

Platform::PreferencesStoreMaker SimPreferencesStore::maker(std::shared_ptr<Image> image) {
  if (!image) image = std::make_shared<Image>();
  return
      [image](Storage& storage) { return std::make_unique<SimPreferencesStore>(image, storage); };
}

std::filesystem::path SimPreferencesStore::fileIn(const Storage& storage) {
  return storage.documentsDirectory().parent_path() / "preferences.plist";
}

Status SimPreferencesStore::save(const Dictionary& preferences) {
  // The dictionary itself stays in the image; the file holds which save it was.
  Status written = storage_.writeFileAtomically(
      fileIn(storage_), "simulated preferences, save " + std::to_string(image_->saveCount + 1));
  if (!written) return written;
  image_->stored = preferences;
  ++image_->saveCount;
  return {};
}

}  // namespace tumbla
