#include "platform/linux/PlistPreferencesStore.h"

#include "platform/Log.h"

namespace tumbla {

PlistPreferencesStore::PlistPreferencesStore(Storage& storage, std::filesystem::path file)
    : files_(storage), file_(std::move(file)) {}

Dictionary PlistPreferencesStore::load() {
  // Read again at every synchronize; a file already found unreadable was said so once and
  // is left alone for the rest of the session.
  if (fileInTheWayError_) return {};
  if (!files_.fileExists(file_)) return {};
  Result<std::string> bytes = files_.readFile(file_);
  if (!bytes) {
    // Nothing says the settings in it are lost (a permission, a disk error): leave it be.
    fileInTheWayError_ = bytes.code();
    logLine("the preferences file can't be read (" + bytes.reason() +
            "); starting from the defaults and leaving the file as it is (preferences will "
            "not be saved)");
    return {};
  }
  std::optional<Value> stored = propertyLists_.parse(*bytes);
  if (stored && stored->isDictionary()) return std::move(*stored->dictionaryIf());
  if (Result<std::filesystem::path> aside = files_.keepAside(file_, "corrupt")) {
    logLine("the preferences file " + file_.string() +
            " can't be read as a property-list dictionary; moved it to " + aside->string() +
            " and started from the defaults");
  } else {
    fileInTheWayError_ = aside.code();
    logLine("the preferences file " + file_.string() + " can't be read and can't be moved aside (" +
            aside.reason() +
            "); starting from the defaults and leaving the file as it is (preferences will "
            "not be saved)");
  }
  return {};
}

Status PlistPreferencesStore::save(const Dictionary& preferences) {
  if (fileInTheWayError_) {
    return Failure{"the unreadable preferences file " + file_.string() +
                       " is kept as it is rather than overwritten",
                   *fileInTheWayError_};
  }
  return files_.writeFileAtomically(file_, propertyLists_.serialize(Value(preferences)));
}

}  // namespace tumbla
