#include "platform/linux/LinuxPlatform.h"

#include <gtk/gtk.h>

#include <charconv>
#include <system_error>

#include "platform/Log.h"
#include "platform/linux/LinuxStorage.h"
#include "platform/linux/PlistPreferencesStore.h"
#include "platform/linux/WavRecorder.h"

namespace tumbla {

namespace {

struct DataLocations {
  std::filesystem::path documents;
  std::filesystem::path preferencesFile;
};

// An XDG base directory: the variable's value when it is an absolute path (the rule says
// relative ones are invalid and ignored), otherwise its default under the home directory.
// Read from the environment each time: GLib's own lookups are cached for the process.
std::filesystem::path xdgDirectory(const char* variable, const char* homeRelativeDefault) {
  const char* value = g_getenv(variable);
  if (value && std::filesystem::path(value).is_absolute()) return value;
  const char* home = g_getenv("HOME");
  return std::filesystem::path(home && *home ? home : g_get_home_dir()) / homeRelativeDefault;
}

DataLocations dataLocations(const std::optional<std::filesystem::path>& dataDirectory) {
  if (dataDirectory) {
    return {*dataDirectory / "Documents", *dataDirectory / "preferences.plist"};
  }
  return {xdgDirectory("XDG_DATA_HOME", ".local/share") / "tumbla",
          xdgDirectory("XDG_CONFIG_HOME", ".config") / "tumbla" / "preferences.plist"};
}

// The time limit from TUMBLA_SCRIPT_TIMEOUT_MS in seconds, when set; a failure when it is
// not a positive number of milliseconds.
Result<std::optional<double>> scriptTimeoutOverride() {
  const char* text = g_getenv("TUMBLA_SCRIPT_TIMEOUT_MS");
  if (!text) return std::optional<double>();
  std::string_view digits(text);
  long milliseconds = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), milliseconds);
  if (error != std::errc() || end != digits.data() + digits.size() || milliseconds <= 0) {
    return Failure{"TUMBLA_SCRIPT_TIMEOUT_MS must be a positive number of milliseconds, not \"" +
                   std::string(digits) + "\""};
  }
  return std::optional<double>(static_cast<double>(milliseconds) / 1000.0);
}

}  // namespace

Result<std::unique_ptr<Platform>> makeLinuxPlatform(LinuxPlatformOptions options) {
  Result<std::unique_ptr<LinuxPlatform>> created = LinuxPlatform::create(std::move(options));
  if (!created) return created.failure();
  return std::unique_ptr<Platform>(std::move(*created));
}

Result<std::unique_ptr<LinuxPlatform>> LinuxPlatform::create(LinuxPlatformOptions options) {
  Result<std::optional<double>> timeout = scriptTimeoutOverride();
  if (!timeout) return timeout.failure();
  if (*timeout) options.scriptTimeoutSeconds = **timeout;

  if (!gtk_init_check(nullptr, nullptr)) {
    const char* display = g_getenv("DISPLAY");
    return Failure{
        std::string("cannot open the display") +
        (display ? " \"" + std::string(display) + "\"" : std::string(" (DISPLAY is not set)")) +
        "; tumbla needs a graphical session"};
  }

  LibplistPropertyLists propertyLists;
  Result<std::unique_ptr<DirectoryBundle>> opened =
      DirectoryBundle::open(options.bundleDirectory, propertyLists);
  if (!opened) return opened.failure();

  DataLocations locations = dataLocations(options.dataDirectory);
  std::error_code error;
  std::filesystem::create_directories(locations.documents, error);
  if (error) {
    return Failure{"can't create the documents directory " + locations.documents.string() + ": " +
                   error.message()};
  }
  std::filesystem::create_directories(locations.preferencesFile.parent_path(), error);
  if (error) {
    return Failure{"can't create the directory of the preferences file " +
                   locations.preferencesFile.string() + ": " + error.message()};
  }

  // Taken before the preferences are first read, so that a second copy reads nothing
  // the first one is about to overwrite.
  auto lock = DataDirectoryLock::acquire(locations.preferencesFile.parent_path());
  if (!lock) return lock.failure();

  // A save that was killed mid-write (a crash, a power cut) leaves its temporary file.
  for (const std::filesystem::path& folder :
       {locations.documents, locations.preferencesFile.parent_path()}) {
    if (int removed = LinuxStorage::removeStaleTemporaryFiles(folder)) {
      logLine("removed " + std::to_string(removed) + " temporary file" + (removed == 1 ? "" : "s") +
              " left in " + folder.string() + " by an interrupted save");
    }
  }

  std::shared_ptr<WavRecorder> recorder;
  if (options.audioRecording) {
    auto recording = WavRecorder::open(*options.audioRecording, AudioMixer::Options().rate,
                                       AudioMixer::Options().channels);
    if (!recording) return Failure{"can't record the sound: " + recording.reason()};
    recorder = std::move(*recording);
  }

  return std::unique_ptr<LinuxPlatform>(
      new LinuxPlatform(options, std::move(*opened), std::move(*lock), locations.documents,
                        locations.preferencesFile, std::move(recorder)));
}

LinuxPlatform::LinuxPlatform(const LinuxPlatformOptions& options,
                             std::unique_ptr<DirectoryBundle> bundle,
                             std::unique_ptr<DataDirectoryLock> lock,
                             std::filesystem::path documents, std::filesystem::path preferencesFile,
                             std::shared_ptr<WavRecorder> recorder)
    : Platform(std::make_unique<LinuxStorage>(std::move(documents)),
               [&preferencesFile](Storage& storage) {
                 return std::make_unique<PlistPreferencesStore>(storage, preferencesFile);
               }),
      dataDirectoryLock_(std::move(lock)),
      stallProbe_(options.probeStalls
                      ? std::make_unique<StallProbe>(
                            dispatcher_, [this](const Dictionary& event) { trace(event); })
                      : nullptr),
      runLoop_(dispatcher_),
      bundle_(std::move(bundle)),
      preferencesFile_(std::move(preferencesFile)),
      userInterface_(dispatcher_, runLoop_, options.idiom, *bundle_, options.scriptTimeoutSeconds,
                     options.window, &userDefaults()),
      application_(dispatcher_, options.idiom, userInterface_),
      urlLoader_(runLoop_),
      audio_(runLoop_, {options.mute, std::move(recorder), nullptr}) {}

}  // namespace tumbla
