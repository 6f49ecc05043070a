#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"
#include "value/Value.h"

namespace tumbla {

// The application's resource bundle: its information dictionary and resource files.
class Bundle {
 public:
  virtual ~Bundle() = default;

  // A key of the information dictionary (Info.plist); nothing when absent.
  virtual const Value* objectForInfoDictionaryKey(std::string_view key) const = 0;
  // The full path of the resource "name.type"; with an empty type, `name` is the whole
  // file name. Nothing when there is no such resource.
  virtual std::optional<std::string> pathForResource(std::string_view name,
                                                     std::string_view type) const = 0;
  // Every resource "*.type" at the bundle's top level, sorted by file name.
  virtual std::vector<std::string> pathsForResourcesOfType(std::string_view type) const = 0;
  // The bytes of a resource file at a path this bundle answered, or why they can't be read.
  virtual Result<std::string> readResource(const std::filesystem::path& path) const = 0;
};

// The file "name.type" (or "name" for an empty type) inside `directory`, when it is a
// regular file there. A name that would lead out of the folder finds nothing.
std::optional<std::string> resourceInDirectory(const std::filesystem::path& directory,
                                               std::string_view name, std::string_view type);
// The regular files "*.type" directly inside `directory`, sorted by file name.
std::vector<std::string> resourcesOfTypeInDirectory(const std::filesystem::path& directory,
                                                    std::string_view type);

// Reading and writing property lists (XML or binary).
class PropertyLists {
 public:
  virtual ~PropertyLists() = default;

  // Nothing when the bytes are not a property list.
  virtual std::optional<Value> parse(std::string_view bytes) const = 0;
  // The XML form.
  virtual std::string serialize(const Value& value) const = 0;
};

}  // namespace tumbla
