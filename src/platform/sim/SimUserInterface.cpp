#include "platform/sim/SimUserInterface.h"

#include <string>

namespace tumbla {

std::shared_ptr<Window> SimUserInterface::makeWindow(Rect frame) {
  auto window = std::make_shared<SimWindow>(frame);
  windows_.push_back(window);
  return window;
}

std::shared_ptr<View> SimUserInterface::makeView(Rect frame) {
  return std::make_shared<View>(frame);
}

std::shared_ptr<WebView> SimUserInterface::makeWebView(Rect frame) {
  auto webView = std::make_shared<SimWebView>(frame);
  webViews_.push_back(webView);
  return webView;
}

std::shared_ptr<ImageView> SimUserInterface::makeImageView(std::optional<Image> image) {
  return std::make_shared<ImageView>(std::move(image));
}

void SimUserInterface::snapshot(View& view, SnapshotDone done) {
  if (snapshotFailure_) {
    done(*snapshotFailure_);
    return;
  }
  Size size{view.frame().width, view.frame().height};
  auto png = std::make_shared<const std::string>(
      "snapshot " + std::to_string(static_cast<int>(size.width)) + "x" +
      std::to_string(static_cast<int>(size.height)));
  done(Image{"", size, std::move(png)});
}

std::optional<Image> SimUserInterface::imageNamed(std::string_view name) const {
  auto found = images_.find(name);
  if (found == images_.end()) return std::nullopt;
  return Image{std::string(name), found->second};
}

}  // namespace tumbla
