#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/UserInterface.h"
#include "platform/sim/SimWebView.h"

namespace tumbla {

class SimWindow : public Window {
 public:
  using Window::Window;
  void makeKeyAndVisible() override { visible_ = true; }
  bool isVisible() const { return visible_; }

 private:
  bool visible_ = false;
};

// A field whose text the test types.
class SimTextField : public TextField {
 public:
  using TextField::TextField;
  std::string text() const override { return text_; }
  void setText(const std::string& text) override { text_ = text; }
  void resignFirstResponder() override { editing_ = false; }
  // The player touches the field and types.
  void type(const std::string& text) {
    editing_ = true;
    text_ += text;
  }
  bool isEditing() const { return editing_; }

 private:
  std::string text_;
  bool editing_ = false;
};

// Views that only keep their state, for tests to inspect.
class SimUserInterface : public UserInterface {
 public:
  Rect mainScreenBounds() const override { return screen_; }
  std::shared_ptr<Window> makeWindow(Rect frame) override;
  std::shared_ptr<Window> keyWindow() const override {
    return windows_.empty() ? nullptr : windows_.back();
  }
  std::shared_ptr<View> makeView(Rect frame) override;
  std::shared_ptr<WebView> makeWebView(Rect frame) override;
  void deleteWebCookiesForHost(std::string_view host) override {
    webCookieDeletions_.emplace_back(host);
  }
  // The hosts whose web cookies were deleted, in order.
  const std::vector<std::string>& webCookieDeletions() const { return webCookieDeletions_; }
  std::shared_ptr<ImageView> makeImageView(std::optional<Image> image) override;
  std::optional<Image> imageNamed(std::string_view name) const override;
  // Answers at once with an image of the view's size whose bytes name that size
  // ("snapshot 480x320"), or with the failure set below.
  Subscription snapshot(View& view, SnapshotDone done) override;
  void setSnapshotFailure(std::optional<Failure> failure) { snapshotFailure_ = std::move(failure); }
  std::shared_ptr<ActivityIndicator> makeActivityIndicator(Rect frame, Color /*color*/) override {
    return std::make_shared<ActivityIndicator>(frame);
  }
  std::shared_ptr<Label> makeLabel(Rect frame, std::string text, LabelStyle style) override {
    return std::make_shared<Label>(frame, std::move(text), std::move(style));
  }
  std::shared_ptr<TextField> makeTextField(Rect frame, std::string accessibleName) override {
    return std::make_shared<SimTextField>(frame, std::move(accessibleName));
  }
  std::shared_ptr<Button> makeButton(Rect frame, std::optional<Image> background,
                                     std::string accessibleName) override;
  Subscription showAlert(Alert alert, AlertAnswer answer) override;

  void addImage(std::string name, Size size) { images_[std::move(name)] = size; }

  const std::vector<std::shared_ptr<SimWindow>>& windows() const { return windows_; }
  const std::vector<std::shared_ptr<SimWebView>>& webViews() const { return webViews_; }
  const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }

  // The alerts on screen, oldest first.
  std::vector<Alert> visibleAlerts() const;
  // Presses button `index` of the alert shown last, as the player would; answers false
  // when no alert is on screen.
  bool answerAlert(int index);

 private:
  Rect screen_{0, 0, 320, 480};
  std::map<std::string, Size, std::less<>> images_;
  std::optional<Failure> snapshotFailure_;
  std::vector<std::string> webCookieDeletions_;
  std::vector<std::shared_ptr<SimWindow>> windows_;
  std::vector<std::shared_ptr<SimWebView>> webViews_;
  std::vector<std::shared_ptr<Button>> buttons_;
  struct ShownAlert {
    unsigned long id;
    Alert alert;
    AlertAnswer answer;
  };
  // Shared with the alerts' subscriptions, which may outlive the platform.
  std::shared_ptr<std::vector<ShownAlert>> alerts_ = std::make_shared<std::vector<ShownAlert>>();
  unsigned long nextAlertId_ = 1;
};

}  // namespace tumbla
