#pragma once

#include <string_view>

#include "platform/Result.h"
#include "value/Value.h"

namespace tumbla {

// The two lists the prompts download, checked against their format before anything of
// them is used: a list that breaks it counts as no list at all.
namespace RemoteLists {

// A versions list: a dictionary from version string to an array of note strings.
Result<Dictionary> readVersions(const Value& list);
// A notices list: a dictionary from notice key to a dictionary whose "Title", "Message",
// "ActionURL" and "ActionButton" entries, when present, are strings.
Result<Dictionary> readNotices(const Value& list);

}  // namespace RemoteLists
}  // namespace tumbla
