#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ActivityIndicator.h"
#include "platform/Alert.h"
#include "platform/Button.h"
#include "platform/Label.h"
#include "platform/Result.h"
#include "platform/Subscription.h"
#include "platform/TextField.h"
#include "platform/View.h"
#include "platform/WebView.h"
#include "platform/Window.h"

namespace tumbla {

// Makes the platform's views.
class UserInterface {
 public:
  virtual ~UserInterface() = default;

  virtual Rect mainScreenBounds() const = 0;
  virtual std::shared_ptr<Window> makeWindow(Rect frame) = 0;
  // The window that receives the keys (the one made last here); nothing before the first.
  virtual std::shared_ptr<Window> keyWindow() const = 0;
  virtual std::shared_ptr<View> makeView(Rect frame) = 0;
  virtual std::shared_ptr<WebView> makeWebView(Rect frame) = 0;
  // Forgets the cookies the web views hold for `host` and its subdomains.
  virtual void deleteWebCookiesForHost(std::string_view host) = 0;
  virtual std::shared_ptr<ImageView> makeImageView(std::optional<Image> image) = 0;
  // Renders what `view` shows now (its subviews included) into a PNG image of the view's
  // size held in memory. `done` runs on the main thread, later or at once, unless the
  // answered subscription ended first.
  using SnapshotDone = std::function<void(Result<Image>)>;
  virtual Subscription snapshot(View& view, SnapshotDone done) = 0;
  // A wheel drawn in `color`, still until started.
  virtual std::shared_ptr<ActivityIndicator> makeActivityIndicator(Rect frame, Color color) = 0;
  virtual std::shared_ptr<Label> makeLabel(Rect frame, std::string text, LabelStyle style) = 0;
  virtual std::shared_ptr<TextField> makeTextField(Rect frame, std::string accessibleName) = 0;
  virtual std::shared_ptr<Button> makeButton(Rect frame, std::optional<Image> background,
                                             std::string accessibleName) = 0;
  // Shows the alert above the window and returns at once; `answer` runs on the main
  // thread with the button pressed, unless the answered subscription ended first (which
  // takes the alert away).
  virtual Subscription showAlert(Alert alert, AlertAnswer answer) = 0;
  // An image resource of the bundle by file name ("Default.png"); nothing when missing
  // or unreadable.
  virtual std::optional<Image> imageNamed(std::string_view name) const = 0;
};

}  // namespace tumbla
