#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "platform/Platform.h"
#include "platform/linux/CurlUrlLoader.h"
#include "platform/linux/DirectoryBundle.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/GtkUserInterface.h"
#include "platform/linux/LibplistPropertyLists.h"
#include "platform/linux/LinuxApplication.h"

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
};

// The real platform: GTK window and views, WebKitGTK, the GLib main loop, a property-list
// preferences file and a bundle directory.
class LinuxPlatform : public Platform {
 public:
  // The platform, or a message that says what stands in the way (no display, a bundle
  // that can't be read, a data directory that can't be made). Initialises GTK; call it
  // on the thread that will run the application.
  static std::variant<std::unique_ptr<LinuxPlatform>, std::string> create(
      LinuxPlatformOptions options);

  RunLoop& runLoop() override { return runLoop_; }
  const Bundle& bundle() const override { return *bundle_; }
  const PropertyLists& propertyLists() const override { return propertyLists_; }
  Application& application() override { return application_; }
  UserInterface& userInterface() override { return userInterface_; }
  UrlLoader& urlLoader() override { return urlLoader_; }

  const std::filesystem::path& preferencesFile() const { return preferencesFile_; }

 private:
  LinuxPlatform(const LinuxPlatformOptions& options, std::unique_ptr<DirectoryBundle> bundle,
                std::filesystem::path documents, std::filesystem::path preferencesFile);

  GLibRunLoop runLoop_;
  LibplistPropertyLists propertyLists_;
  std::unique_ptr<DirectoryBundle> bundle_;
  std::filesystem::path preferencesFile_;
  GtkUserInterface userInterface_;
  LinuxApplication application_;
  CurlUrlLoader urlLoader_;
};

}  // namespace tumbla
