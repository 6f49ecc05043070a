// Any bytes a server could send as a versions or notices list: reading never crashes, a
// list that passes the format checks holds only what the checks promise, and the version
// order over its keys is consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/linux/LibplistPropertyLists.h"
#include "prompts/RemoteLists.h"
#include "prompts/VersionString.h"

namespace {

void checkVersions(const tumbla::Dictionary& versions) {
  std::vector<std::string_view> keys;
  for (const auto& [version, notes] : versions) {
    if (!notes.arrayIf()) std::abort();
    for (const tumbla::Value& note : *notes.arrayIf()) {
      if (!note.isString()) std::abort();
    }
    keys.push_back(version.view());
  }
  for (std::string_view a : keys) {
    for (std::string_view b : keys) {
      if (tumbla::compareVersion(a, b) != -tumbla::compareVersion(b, a)) std::abort();
      if (tumbla::compareVersionDescending(a, b) != -tumbla::compareVersion(a, b)) std::abort();
    }
  }
}

void checkNotices(const tumbla::Dictionary& notices) {
  for (const auto& [key, notice] : notices) {
    const tumbla::Dictionary* details = notice.dictionaryIf();
    if (!details) std::abort();
    for (const char* entry : {"Title", "Message", "ActionURL", "ActionButton"}) {
      const tumbla::Value* text = details->find(entry);
      if (text && !text->isString()) std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tumbla::LibplistPropertyLists lists;
  std::optional<tumbla::Value> list =
      lists.parse(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!list) return 0;
  if (auto versions = tumbla::RemoteLists::readVersions(*list)) checkVersions(*versions);
  if (auto notices = tumbla::RemoteLists::readNotices(*list)) checkNotices(*notices);
  return 0;
}
