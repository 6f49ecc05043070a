#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Result.h"

namespace tumbla {

// The host's small counter files: one signed decimal integer as plain ASCII text, no
// line end, written whole and atomically (the ".plist" in their names is historical).
namespace CounterFile {

// Nothing when the file is missing or empty; otherwise the text's leading integer (0 when
// it does not begin with a number). A failure, with the reason, when the file is there but
// can't be read (a directory, a FIFO, no permission, an I/O error).
Result<std::optional<std::int32_t>> read(const std::string& path);
Status write(const std::string& path, std::int32_t value);

}  // namespace CounterFile
}  // namespace tumbla
