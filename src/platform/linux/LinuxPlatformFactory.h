#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "platform/Application.h"
#include "platform/Platform.h"
#include "platform/Result.h"
#include "platform/linux/DesktopWindowOptions.h"

namespace tumbla {

struct LinuxPlatformOptions {
  std::filesystem::path bundleDirectory;
  // Puts the documents directory (DIR/Documents) and the preferences file
  // (DIR/preferences.plist) under one directory; otherwise they follow the XDG base
  // directories: $XDG_DATA_HOME/tumbla and $XDG_CONFIG_HOME/tumbla/preferences.plist.
  std::optional<std::filesystem::path> dataDirectory;
  UserInterfaceIdiom idiom = UserInterfaceIdiom::Phone;
  // How long a script may take before the page counts as hung. The environment variable
  // TUMBLA_SCRIPT_TIMEOUT_MS overrides it (tests use short limits).
  double scriptTimeoutSeconds = 5;
  DesktopWindowOptions window;
  // Mixes without opening the sound device.
  bool mute = false;
  // Writes every buffer the mixer hands out to this WAV file.
  std::optional<std::filesystem::path> audioRecording;
  // Traces the main loop's long turns and the synchronous script calls (see StallProbe).
  bool probeStalls = false;
};

// The real platform (GTK, WebKitGTK, the GLib main loop), or what stands in the way (no
// display, a bundle that can't be read, a data directory that can't be made). Initialises
// GTK; call it on the thread that will run the application. This header names no toolkit
// type, so that a command line can choose the platform without compiling the toolkit's.
Result<std::unique_ptr<Platform>> makeLinuxPlatform(LinuxPlatformOptions options);

}  // namespace tumbla
