#include "host/SnapshotSharing.h"

#include <utility>
#include <vector>

#include "facebook/FBRequest.h"
#include "host/PagePlacement.h"
#include "platform/Animation.h"
#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

namespace {

// Frames on a phone and on a tablet.
struct Layout {
  Rect screen;
  Rect thumbnail;
  Rect caption;
  Rect field;
  Rect facebook;
  Rect cancel;
  Rect camera;
  double captionFontSize;
  int captionLines;
};

constexpr Layout kPhone{{0, 0, 480, 320},
                        {15, 45, 180, 120},
                        {200, 28, 280, 60},
                        {200, 75, 270, 30},
                        {210, 190, 50, 50},
                        {210, 269, 60, 20},
                        {320, 0, 20, 20},
                        23,
                        12};
constexpr Layout kPad{{0, 0, 1024, 768},
                      {60, 90, 320, 240},
                      {426, 60, 700, 60},
                      {426, 130, 590, 40},
                      {470, 420, 50, 50},
                      {455, 540, 100, 26},
                      {250, 0, 43, 43},
                      31,
                      16};

const Layout& layoutFor(bool isPad) {
  return isPad ? kPad : kPhone;
}

std::optional<std::string> infoString(const Bundle& bundle, std::string_view key) {
  const Value* value = bundle.objectForInfoDictionaryKey(key);
  if (value == nullptr) return std::nullopt;
  std::optional<std::string_view> text = value->stringIf();
  if (!text || text->empty()) return std::nullopt;
  return std::string(*text);
}

std::string fill(std::string_view format, const std::vector<std::string>& values) {
  std::string result;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format.substr(i, 2) == "%@" && next < values.size()) {
      result += values[next++];
      ++i;
    } else {
      result += format[i];
    }
  }
  return result;
}

}  // namespace

SnapshotSharing::Settings SnapshotSharing::Settings::fromBundle(const Bundle& bundle) {
  Settings settings;
  settings.applicationId = infoString(bundle, "TumblaFacebookAppID");
  if (auto url = infoString(bundle, "TumblaFacebookGraphURL")) settings.endpoints.graphURL = *url;
  if (auto url = infoString(bundle, "TumblaFacebookRESTURL")) settings.endpoints.restURL = *url;
  if (auto url = infoString(bundle, "TumblaFacebookDialogURL")) settings.endpoints.dialogURL = *url;
  if (auto url = infoString(bundle, "TumblaFacebookLoginURL")) settings.endpoints.loginURL = *url;
  if (auto name = infoString(bundle, "CFBundleName")) settings.applicationName = *name;
  if (auto url = infoString(bundle, "TumblaUpgradeURL")) settings.storeURL = *url;
  return settings;
}

SnapshotSharing::SnapshotSharing(Settings settings, std::int32_t& uploadCounter)
    : settings_(std::move(settings)),
      uploadCounter_(uploadCounter),
      facebook_(settings_.endpoints) {}

void SnapshotSharing::buildInto(const std::shared_ptr<View>& root, bool isPad, Size page) {
  UserInterface& ui = Platform::shared().userInterface();
  const Layout& layout = layoutFor(isPad);
  isPad_ = isPad;
  root_ = root;
  // The panel and the camera are drawn for the device's landscape screen; a page of another
  // size gets the panel centred and the camera at the same distance from its edge.
  Size designedPage{layout.screen.width, layout.screen.height};

  shareView_ = ui.makeView(placeOnPage(layout.screen, designedPage, page));
  shareView_->setBackgroundColor({100.0 / 255, 100.0 / 255, 100.0 / 255, 0.9});
  shareView_->setHidden(true);
  root->addSubview(shareView_);

  imageJietu_ = ui.makeImageView(ui.imageNamed("share.png"));
  imageJietu_->setFrame(layout.thumbnail);
  shareView_->addSubview(imageJietu_);

  caption_ = ui.makeLabel(
      layout.caption, "Get a Snapshot",
      LabelStyle{"Marker Felt", layout.captionFontSize,
                 Color{247.0 / 255, 160.0 / 255, 130.0 / 255, 1}, layout.captionLines});
  shareView_->addSubview(caption_);

  textField_ = ui.makeTextField(layout.field, "Message");
  textField_->setShouldReturn([this] { return textFieldShouldReturn(); });
  shareView_->addSubview(textField_);

  facebookButton_ =
      ui.makeButton(layout.facebook, ui.imageNamed("facebook.png"), "Share on Facebook");
  facebookButton_->setAction([this] { facebookShare(); });
  shareView_->addSubview(facebookButton_);

  sureButton_ = ui.makeButton(layout.cancel, ui.imageNamed("3242.png"), "Cancel");
  sureButton_->setTitle("Cancel");
  sureButton_->setAction([this] { hiddenShareView(); });
  sureButton_->setCancelButton(true);
  shareView_->addSubview(sureButton_);

  cameraButton_ = ui.makeButton(placeOnPage(layout.camera, designedPage, page),
                                ui.imageNamed("shexiangtou.png"), "Snapshot");
  cameraButton_->setAction([this] { userShareSelf(); });
  root->addSubview(cameraButton_);
}

void SnapshotSharing::userShareSelf() {
  alert_ = Platform::shared().userInterface().showAlert(
      Alert{"", "LOL! Get a Snapshot?!", {"No", "Yes"}, 0}, [this](int index) {
        if (index == 1) takeSnapshot();
      });
}

void SnapshotSharing::takeSnapshot() {
  auto root = root_.lock();
  if (!root) return;
  // Held by the sharing: a snapshot still being encoded when it goes reaches nobody.
  snapshotTaking_ = Platform::shared().userInterface().snapshot(*root, [this](Result<Image> image) {
    if (!image) {
      logLine("Snapshot failed: " + image.reason());
      return;
    }
    imageJietu_->setImage(std::move(image.value()));
    showShareView(true);
    const Layout& layout = layoutFor(isPad_);
    // The snapshot shrinks from the whole screen into its place in the panel.
    imageJietu_->setFrame(layout.screen);
    thumbnailAnimation_ = animateFrame(Platform::shared().runLoop(), imageJietu_, layout.thumbnail,
                                       {0, kThumbnailSeconds, AnimationCurve::EaseInOut});
  });
}

void SnapshotSharing::showShareView(bool emptyField) {
  shareView_->setHidden(false);
  if (emptyField) textField_->setText("");
  if (auto root = root_.lock()) root->addSubview(shareView_);
}

void SnapshotSharing::facebookShare() {
  if (!settings_.applicationId) {
    alert_ = Platform::shared().userInterface().showAlert(
        Alert{"", "Sharing on Facebook is not set up in this version of the game.", {"OK"}, 0},
        nullptr);
    return;
  }
  facebook_.authorize(*settings_.applicationId,
                      std::vector<std::string>{"publish_stream", "offline_access"}, this);
}

void SnapshotSharing::hiddenShareView() {
  textField_->resignFirstResponder();
  shareView_->setHidden(true);
  textField_->setText("");
}

bool SnapshotSharing::textFieldShouldReturn() {
  textField_->resignFirstResponder();
  return true;
}

void SnapshotSharing::applicationDidBecomeActive(std::int32_t activationCount) {
  hiddenShareView();
  if ((activationCount - 3) % 6 == 0) showShareView(false);
}

std::string SnapshotSharing::messageFor(const std::string& typed, std::int32_t uploadCount,
                                        const std::string& applicationName,
                                        const std::string& storeURL) {
  if (!typed.empty()) return fill("%@ (via @%@) %@", {typed, applicationName, storeURL});
  static constexpr std::string_view kMessages[] = {"What a fantastic game!So AMAZING! (via @%@) %@",
                                                   "Love this game! (via @%@) %@",
                                                   "So FUNNY! Passes time (via @%@) %@"};
  // A counter file holding a negative count still picks one of the three.
  int remainder = ((uploadCount % 3) + 3) % 3;
  return fill(kMessages[remainder], {applicationName, storeURL});
}

std::shared_ptr<const std::string> SnapshotSharing::thumbnailPng() const {
  const std::optional<Image>& image = imageJietu_->image();
  if (!image) return nullptr;
  if (image->png) return image->png;
  Result<std::string> bytes = Platform::shared().bundle().readResource(image->path);
  if (!bytes) {
    logLine("Photo upload without a picture: " + bytes.reason());
    return nullptr;
  }
  return std::make_shared<const std::string>(std::move(bytes.value()));
}

void SnapshotSharing::fbDidLogin() {
  textField_->resignFirstResponder();
  shareView_->setHidden(true);
  std::string message =
      messageFor(textField_->text(), uploadCounter_, settings_.applicationName, settings_.storeURL);
  auto params = FBParams::make({{"message", message}});
  if (auto png = thumbnailPng()) params->set("picture", FBParams::Image{std::move(png)});
  facebook_.requestWithGraphPath("me/photos", params, "POST", this);
}

bool SnapshotSharing::respondsTo(FBRequestDelegate::Optional operation) const {
  using Optional = FBRequestDelegate::Optional;
  return operation == Optional::DidReceiveResponse || operation == Optional::DidLoad ||
         operation == Optional::DidFail;
}

void SnapshotSharing::requestDidReceiveResponse(FBRequest&, const UrlResponse&) {
  logLine("received response");
}

void SnapshotSharing::requestDidLoad(FBRequest&, const Value& result) {
  // A posted photo is answered with its description; anything else (a proxy's page, a
  // truncated answer) did not post it.
  if (!result.dictionaryIf()) {
    sharingFailed("the server's answer was not understood");
    return;
  }
  ++uploadCounter_;
  alert_ = Platform::shared().userInterface().showAlert(
      Alert{"", "Image Uploaded Successful!", {"Sure"}, 0}, nullptr);
}

void SnapshotSharing::requestDidFailWithError(FBRequest&, const Error& error) {
  std::string reason = FBRequest::withoutAccessToken(error.localizedDescription);
  if (reason.empty()) reason = "error " + std::to_string(error.code) + " in " + error.domain;
  sharingFailed(reason);
}

void SnapshotSharing::fbDidNotLogin(bool cancelled) {
  if (!cancelled) sharingFailed("the login page could not be loaded");
}

void SnapshotSharing::sharingFailed(const std::string& reason) {
  // Not counted; the player hears it once, in a few words, and the log says the same.
  logLine("Photo upload failed: " + reason);
  alert_ = Platform::shared().userInterface().showAlert(
      Alert{"", "Your photo was not posted: " + reason + ".", {"OK"}, 0}, nullptr);
}

}  // namespace tumbla
