#pragma once

#include <filesystem>
#include <memory>

#include "platform/Platform.h"
#include "platform/Result.h"
#include "platform/linux/CurlUrlLoader.h"
#include "platform/linux/DataDirectoryLock.h"
#include "platform/linux/DirectoryBundle.h"
#include "platform/linux/GLibRunLoop.h"
#include "platform/linux/GamepadInput.h"
#include "platform/linux/GtkUserInterface.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/LazyLibrary.h"
#include "platform/linux/LibplistPropertyLists.h"
#include "platform/linux/LinuxApplication.h"
#include "platform/linux/LinuxPlatformFactory.h"
#include "platform/linux/SdlAudio.h"
#include "platform/linux/StallProbe.h"

namespace tumbla {

// The real platform: GTK window and views, WebKitGTK, the GLib main loop, a property-list
// preferences file and a bundle directory.
class LinuxPlatform : public Platform {
 public:
  // As makeLinuxPlatform, for callers that use the Linux services themselves.
  static Result<std::unique_ptr<LinuxPlatform>> create(LinuxPlatformOptions options);

  RunLoop& runLoop() override { return runLoop_; }
  const Bundle& bundle() const override { return *bundle_; }
  const PropertyLists& propertyLists() const override { return propertyLists_; }
  Application& application() override { return application_; }
  UserInterface& userInterface() override { return userInterface_; }
  UrlLoader& urlLoader() override { return urlLoader_; }
  SdlAudio& audio() override { return audio_; }

  const GamepadInput& gamepad() const { return gamepad_; }
  const std::filesystem::path& preferencesFile() const { return preferencesFile_; }

 private:
  LinuxPlatform(const LinuxPlatformOptions& options, std::unique_ptr<DirectoryBundle> bundle,
                std::unique_ptr<DataDirectoryLock> lock, std::filesystem::path documents,
                std::filesystem::path preferencesFile, std::shared_ptr<WavRecorder> recorder);

  std::unique_ptr<DataDirectoryLock> dataDirectoryLock_;
  // First made and last gone: everything below hands the host its work through it.
  HostDispatcher dispatcher_;
  // Goes after everything it measures, and reports its summary to the trace as it goes.
  std::unique_ptr<StallProbe> stallProbe_;
  GLibRunLoop runLoop_;
  LibplistPropertyLists propertyLists_;
  std::unique_ptr<DirectoryBundle> bundle_;
  std::filesystem::path preferencesFile_;
  GtkUserInterface userInterface_;
  LinuxApplication application_;
  CurlUrlLoader urlLoader_;
  SdlAudio audio_;
  GamepadInput gamepad_;
  LazyLibraryPreload libraryPreload_;
};

}  // namespace tumbla
