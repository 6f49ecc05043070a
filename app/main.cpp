// tumbla-game: runs the game page of a bundle in a window, with its saved games and settings.
// The `tumbla` command (launcher/) starts it in a process group of its own.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>

#include "CommandLine.h"
#include "TraceFile.h"
#include "Usage.h"
#include "host/TumblaAppDelegate.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/linux/EarlyTermination.h"
#include "platform/linux/LinuxPlatformFactory.h"

namespace {

constexpr int kGameNotSaved = 1;
constexpr int kUsageOrSetupError = 2;

int fail(const std::string& message) {
  std::cerr << "tumbla: " << message << "\n";
  return kUsageOrSetupError;
}

// The bundle beside the binary in a build tree, else the one installed with it. The game
// program is installed under lib/tumbla; the bundle under share/tumbla, or share/games/tumbla
// where the Debian package keeps games' data.
std::filesystem::path defaultBundle() {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return "resources";
  std::filesystem::path dir = exe.parent_path();
  for (const auto& candidate : {dir / "resources", dir / ".." / ".." / "share" / "tumbla",
                                dir / ".." / ".." / "share" / "games" / "tumbla"}) {
    if (std::filesystem::exists(candidate / "Info.plist", error)) return candidate;
  }
  return dir / "resources";
}

int run(int argc, char** argv) {
  using namespace tumbla;

  Result<CommandLine> parsed = parseCommandLine(argc, argv);
  if (!parsed) {
    std::cerr << "tumbla: " << parsed.reason() << " (see tumbla --help)\n";
    return kUsageOrSetupError;
  }
  const CommandLine& options = *parsed;
  if (options.help) {
    std::cout << kTumblaUsage;
    return 0;
  }
  if (options.version) {
    std::cout << "tumbla " << TUMBLA_VERSION << "\n";
    return 0;
  }
  EarlyTermination::catchSignals();

  std::unique_ptr<TraceFile> trace;
  if (options.traceFile) {
    Result<std::unique_ptr<TraceFile>> opened = TraceFile::open(*options.traceFile);
    if (!opened) return fail(opened.reason());
    trace = std::move(*opened);
  }

  LinuxPlatformOptions platformOptions;
  platformOptions.bundleDirectory = options.bundle.value_or(defaultBundle());
  platformOptions.dataDirectory = options.dataDirectory;
  platformOptions.idiom = options.idiom;
  platformOptions.window = {options.fullscreen, options.inspector};
  platformOptions.mute = options.mute;
  platformOptions.audioRecording = options.audioRecording;
  platformOptions.probeStalls = options.traceFile.has_value();
  Result<std::unique_ptr<Platform>> created = makeLinuxPlatform(platformOptions);
  if (!created) return fail(created.reason());
  Platform& platform = ApplicationContext::install(std::move(*created)).platform();

  if (trace) {
    platform.setTraceSink([&trace](const Dictionary& event) { trace->write(event); });
    setLogSink([&trace](std::string_view message) {
      std::cerr << "tumbla: " << message << std::endl;
      trace->write({{"event", "log"}, {"message", message}});
    });
  }

  // Without a page there is nothing to show: say what is missing instead of an empty window.
  if (Result<std::string> page = TumblaViewController::findGamePage(); !page) {
    return fail(page.reason());
  }

  int status;
  {
    TumblaAppDelegate delegate;
    status = platform.application().run(delegate);
    // The game's last save failed, and the host said so in its log: the exit status must
    // not claim otherwise.
    const TumblaViewController* controller = delegate.viewController();
    if (status == 0 && controller && !controller->gameSaved()) status = kGameNotSaved;
  }
  // The shared instances and then the platform, in the reverse order of their making, while
  // the log still reaches the trace.
  ApplicationContext::uninstall();
  setLogSink(nullptr);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& error) {
    // Nothing here throws by design; running out of memory is what could.
    std::fputs("tumbla: stopped: ", stderr);
    std::fputs(error.what(), stderr);
    std::fputs("\n", stderr);
  } catch (...) {
    std::fputs("tumbla: stopped by an unknown error\n", stderr);
  }
  return EXIT_FAILURE;
}
