#pragma once

#include <memory>

#include "platform/Application.h"
#include "platform/Bundle.h"
#include "platform/UserInterface.h"
#include "platform/linux/DesktopWindowOptions.h"
#include "platform/linux/GtkAppWindow.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/WorkerQueue.h"

namespace tumbla {

// Views on GTK. The screen is that of the device the app plays, held upright: 320x480 for
// a phone, 768x1024 for a tablet; the window takes the page's shape.
class GtkUserInterface : public UserInterface {
 public:
  // What the views, alerts and snapshots hand the host passes `dispatcher`, which outlives
  // this and everything made here; snapshots are encoded on a worker of this interface's,
  // which hands them back through `runLoop`. The window remembers its placement in
  // `windowMemory` when given (it outlives this).
  GtkUserInterface(HostDispatcher& dispatcher, RunLoop& runLoop, UserInterfaceIdiom idiom,
                   const Bundle& bundle, double scriptTimeoutSeconds,
                   DesktopWindowOptions windowOptions = {}, UserDefaults* windowMemory = nullptr);

  // The window made last, whose desktop events the application follows.
  std::shared_ptr<GtkAppWindow> mainWindow() const { return mainWindow_.lock(); }

  Rect mainScreenBounds() const override;
  std::shared_ptr<Window> makeWindow(Rect frame) override;
  std::shared_ptr<Window> keyWindow() const override { return mainWindow(); }
  std::shared_ptr<View> makeView(Rect frame) override;
  std::shared_ptr<WebView> makeWebView(Rect frame) override;
  void deleteWebCookiesForHost(std::string_view host) override;
  std::shared_ptr<ImageView> makeImageView(std::optional<Image> image) override;
  std::optional<Image> imageNamed(std::string_view name) const override;
  // The pixels are drawn here; the PNG encoding, which takes tens of milliseconds for a
  // window, runs on the encoder.
  Subscription snapshot(View& view, SnapshotDone done) override;
  std::shared_ptr<ActivityIndicator> makeActivityIndicator(Rect frame, Color color) override;
  std::shared_ptr<Label> makeLabel(Rect frame, std::string text, LabelStyle style) override;
  std::shared_ptr<TextField> makeTextField(Rect frame, std::string accessibleName) override;
  std::shared_ptr<Button> makeButton(Rect frame, std::optional<Image> background,
                                     std::string accessibleName) override;
  Subscription showAlert(Alert alert, AlertAnswer answer) override;

 private:
  HostDispatcher& dispatcher_;
  UserInterfaceIdiom idiom_;
  const Bundle& bundle_;
  double scriptTimeoutSeconds_;
  DesktopWindowOptions windowOptions_;
  UserDefaults* windowMemory_;
  std::weak_ptr<GtkAppWindow> mainWindow_;
  WorkerQueue encoder_;
};

}  // namespace tumbla
