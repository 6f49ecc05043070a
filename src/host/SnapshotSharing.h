#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "facebook/FBRequestDelegate.h"
#include "facebook/FBSessionDelegate.h"
#include "facebook/Facebook.h"
#include "platform/Bundle.h"
#include "platform/Button.h"
#include "platform/Label.h"
#include "platform/RunLoop.h"
#include "platform/Subscription.h"
#include "platform/TextField.h"
#include "platform/View.h"

namespace tumbla {

// The player's snapshot of the game, posted with a message as a photo: the camera button
// over the page, the question, the share panel with the snapshot's thumbnail, the
// message field and its buttons, the login and the upload. The panel also opens by itself
// on some activations.
class SnapshotSharing : public FBSessionDelegate, public FBRequestDelegate {
 public:
  // What the deployment decides, from the bundle's information dictionary.
  struct Settings {
    // Without one, snapshots still work but sharing explains that it is not set up.
    std::optional<std::string> applicationId;
    Facebook::Endpoints endpoints;
    std::string applicationName = "Fizzpaw";
    std::string storeURL;

    static Settings fromBundle(const Bundle& bundle);
  };

  static constexpr double kThumbnailSeconds = 0.8;

  // `uploadCounter` is the count of successful uploads, kept (and stored) by the owner.
  SnapshotSharing(Settings settings, std::int32_t& uploadCounter);
  SnapshotSharing(const SnapshotSharing&) = delete;
  SnapshotSharing& operator=(const SnapshotSharing&) = delete;

  // Builds the panel (hidden) and the camera button over everything in `root`, which shows
  // a page of the size `page`.
  void buildInto(const std::shared_ptr<View>& root, bool isPad, Size page);

  // The camera button: asks whether to take a snapshot.
  void userShareSelf();
  // The Facebook button: logs in, then uploads.
  void facebookShare();
  // The cancel button.
  void hiddenShareView();
  bool textFieldShouldReturn();
  // Every activation hides the panel and empties the field; activations 3, 9, 15, ...
  // open the panel by itself.
  void applicationDidBecomeActive(std::int32_t activationCount);

  // The message posted with the photo.
  static std::string messageFor(const std::string& typed, std::int32_t uploadCount,
                                const std::string& applicationName, const std::string& storeURL);

  // FBSessionDelegate
  bool respondsTo(FBSessionDelegate::Optional operation) const override {
    return operation == FBSessionDelegate::Optional::DidLogin ||
           operation == FBSessionDelegate::Optional::DidNotLogin;
  }
  void fbDidLogin() override;
  // A login the player cancelled leaves the panel as it is; one that failed is told.
  void fbDidNotLogin(bool cancelled) override;

  // FBRequestDelegate
  bool respondsTo(FBRequestDelegate::Optional operation) const override;
  void requestDidReceiveResponse(FBRequest& request, const UrlResponse& response) override;
  void requestDidLoad(FBRequest& request, const Value& result) override;
  void requestDidFailWithError(FBRequest& request, const Error& error) override;

  Facebook& facebook() { return facebook_; }
  const std::shared_ptr<View>& shareView() const { return shareView_; }
  const std::shared_ptr<ImageView>& thumbnail() const { return imageJietu_; }
  const std::shared_ptr<TextField>& textField() const { return textField_; }
  const std::shared_ptr<Button>& cameraButton() const { return cameraButton_; }
  const std::shared_ptr<Button>& facebookButton() const { return facebookButton_; }
  const std::shared_ptr<Button>& cancelButton() const { return sureButton_; }

 private:
  void takeSnapshot();
  void showShareView(bool emptyField);
  // The thumbnail's picture as PNG bytes: the snapshot, or the bundle's placeholder.
  std::shared_ptr<const std::string> thumbnailPng() const;
  // Tells the player and the log that the photo was not posted, and why.
  void sharingFailed(const std::string& reason);

  Settings settings_;
  std::int32_t& uploadCounter_;
  Facebook facebook_;
  bool isPad_ = false;
  std::weak_ptr<View> root_;
  std::shared_ptr<View> shareView_;
  std::shared_ptr<ImageView> imageJietu_;
  std::shared_ptr<Label> caption_;
  std::shared_ptr<TextField> textField_;
  std::shared_ptr<Button> facebookButton_;
  std::shared_ptr<Button> sureButton_;
  std::shared_ptr<Button> cameraButton_;
  std::shared_ptr<Timer> thumbnailAnimation_;
  // The alert on screen; ending it takes the alert away.
  Subscription alert_;
  // The snapshot being taken; ending it (with the sharing) drops its answer.
  Subscription snapshotTaking_;
};

}  // namespace tumbla
