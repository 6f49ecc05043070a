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

Subscription SimUserInterface::snapshot(View& view, SnapshotDone done) {
  if (snapshotFailure_) {
    done(*snapshotFailure_);
    return {};
  }
  Size size{view.frame().width, view.frame().height};
  auto png = std::make_shared<const std::string>(
      "snapshot " + std::to_string(static_cast<int>(size.width)) + "x" +
      std::to_string(static_cast<int>(size.height)));
  done(Image{"", size, std::move(png)});
  return {};
}

std::optional<Image> SimUserInterface::imageNamed(std::string_view name) const {
  auto found = images_.find(name);
  if (found == images_.end()) return std::nullopt;
  return Image{std::string(name), found->second};
}

std::shared_ptr<Button> SimUserInterface::makeButton(Rect frame, std::optional<Image> background,
                                                     std::string accessibleName) {
  auto button = std::make_shared<Button>(frame, std::move(background), std::move(accessibleName));
  buttons_.push_back(button);
  return button;
}

Subscription SimUserInterface::showAlert(Alert alert, AlertAnswer answer) {
  unsigned long id = nextAlertId_++;
  alerts_->push_back({id, std::move(alert), std::move(answer)});
  return Subscription([weakAlerts = std::weak_ptr(alerts_), id] {
    if (auto alerts = weakAlerts.lock()) {
      std::erase_if(*alerts, [id](const ShownAlert& shown) { return shown.id == id; });
    }
  });
}

std::vector<Alert> SimUserInterface::visibleAlerts() const {
  std::vector<Alert> visible;
  for (const ShownAlert& shown : *alerts_) visible.push_back(shown.alert);
  return visible;
}

bool SimUserInterface::answerAlert(int index) {
  if (alerts_->empty()) return false;
  // The alert goes before its answer runs, which may show the next one.
  ShownAlert shown = std::move(alerts_->back());
  alerts_->pop_back();
  if (shown.answer) shown.answer(index);
  return true;
}

}  // namespace tumbla
