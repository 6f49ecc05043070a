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
  bool help = false;
  bool version = false;
};

inline constexpr const char* kUsage =
    "Usage: tumbla [--bundle DIR] [--data-dir DIR] [--device iphone|ipad] [--trace FILE]\n"
    "              [--fullscreen] [--inspector] [--help] [--version]\n"
    "\n"
    "  --bundle DIR      the game bundle: Info.plist, Defaults.plist, the page and its files\n"
    "                    (default: the resources installed with tumbla)\n"
    "  --data-dir DIR    keep the saved game (DIR/Documents) and the settings\n"
    "                    (DIR/preferences.plist) under DIR instead of the XDG directories\n"
    "  --device KIND     iphone (480x320, the default) or ipad (1024x768)\n"
    "  --trace FILE      write every bridge event to FILE, one JSON object per line\n"
    "  --fullscreen      start in full screen (F11 toggles it)\n"
    "  --inspector       open the web engine's developer tools beside the game\n"
    "  --help            show this help\n"
    "  --version         show the version\n"
    "\n"
    "Keys: Ctrl+Shift+S shakes the device (undo, when the player has shake-to-undo on);\n"
    "F11 toggles full screen.\n";

// The options, or a failure saying what is wrong with them.
Result<CommandLine> parseCommandLine(int argc, char** argv);

}  // namespace tumbla
