#include "prompts/RemoteLists.h"

#include <string>

#include "prompts/iNotifyKeys.h"

namespace tumbla::RemoteLists {

Result<Dictionary> readVersions(const Value& list) {
  const Dictionary* versions = list.dictionaryIf();
  if (!versions) return Failure{"the versions list is not a dictionary"};
  for (const auto& [version, notes] : *versions) {
    const Array* entries = notes.arrayIf();
    if (!entries) {
      return Failure{"the notes of version " + std::string(version.view()) + " are not a list"};
    }
    for (const Value& note : *entries) {
      if (!note.stringIf()) {
        return Failure{"a note of version " + std::string(version.view()) + " is not text"};
      }
    }
  }
  return *versions;
}

Result<Dictionary> readNotices(const Value& list) {
  const Dictionary* notices = list.dictionaryIf();
  if (!notices) return Failure{"the notices list is not a dictionary"};
  for (const auto& [key, notice] : *notices) {
    const Dictionary* details = notice.dictionaryIf();
    if (!details) return Failure{"notice " + std::string(key.view()) + " is not a dictionary"};
    for (std::string_view entry :
         {iNotifyTitleKey, iNotifyMessageKey, iNotifyActionURLKey, iNotifyActionButtonKey}) {
      const Value* text = details->find(entry);
      if (text && !text->stringIf()) {
        return Failure{"the " + std::string(entry) + " of notice " + std::string(key.view()) +
                       " is not text"};
      }
    }
  }
  return *notices;
}

}  // namespace tumbla::RemoteLists
