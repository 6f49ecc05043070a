#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/Application.h"
#include "platform/Result.h"

namespace tumbla {

struct CommandLine {
  std::optional<std::filesystem::path> bundle;
  std::optional<std::filesystem::path> dataDirectory;
  UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
  std::optional<std::filesystem::path> traceFile;
  bool fullscreen = false;
  bool inspector = false;
  std::optional<std::filesystem::path> audioRecording;
  bool mute = false;
  bool help = false;
  bool version = false;
};

// The options, or a failure saying what is wrong with them.
Result<CommandLine> parseCommandLine(int argc, char** argv);

}  // namespace tumbla
