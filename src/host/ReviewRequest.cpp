#include "host/ReviewRequest.h"

#include <algorithm>

#include "host/CounterFile.h"
#include "host/TumblaViewController.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "prompts/iRate.h"

namespace tumbla {

namespace {

constexpr const char* kReviewFlagFile = "review31.plist";
constexpr int kGiveAReviewIndex = 1;

constexpr const char* kHighRatingTitle =
    "Dear User,if you like this app and Purrlina,could you give us a high star rating or write "
    "something?\nIt's very nice of you and we will do better!";
constexpr const char* kRatingTitle =
    "Dear User,if you like this app and Purrlina,could you give us a star rating or write "
    "something?\nIt's very nice of you and we will do better!";

}  // namespace

ReviewRequest::ReviewRequest(const DeploymentSettings& settings)
    : configuration_(settings.configURL),
      reviewSwitchCode_(settings.configAppCode1),
      wordingSwitchCode_(settings.configAppCode2),
      storeHost_(settings.storeHost),
      reviewStoreID_(settings.reviewStoreID) {}

void ReviewRequest::startAtLaunch() {
  reallyReview_ = 0;
  intKaiguan_ = 0;
  intKaiguan2_ = 0;
  Result<std::optional<std::int32_t>> flag =
      CounterFile::read(TumblaViewController::dataFilePath(kReviewFlagFile));
  if (!flag) {
    // Counts as no review given yet; the file is left as it is.
    logLine(flag.reason());
  } else if (*flag) {
    reallyReview_ = **flag;
  }
  if (reallyReview_ != 0) return;
  double launched = Platform::shared().runLoop().uptime();
  reviewSwitchQuestion_ =
      configuration_.askSwitch(reviewSwitchCode_, [this, launched](std::int32_t value) {
        intKaiguan_ = value;
        if (intKaiguan_ != 1) return;
        // The delay counts from the launch, not from the page's answer.
        RunLoop& runLoop = Platform::shared().runLoop();
        double remaining = kDelaySeconds - (runLoop.uptime() - launched);
        timer_ =
            runLoop.scheduleTimer(std::max(remaining, 0.0), false, [this] { alertforreview(); });
      });
}

void ReviewRequest::alertforreview() {
  wordingSwitchQuestion_ = configuration_.askSwitch(wordingSwitchCode_, [this](std::int32_t value) {
    intKaiguan2_ = value;
    alert_ = Platform::shared().userInterface().showAlert(
        {intKaiguan2_ == 1 ? kHighRatingTitle : kRatingTitle,
         "",
         {"I don't want", "Give a review"},
         0},
        [this](int buttonIndex) { alertDismissed(buttonIndex); });
  });
}

void ReviewRequest::alertDismissed(int buttonIndex) {
  if (buttonIndex != kGiveAReviewIndex) return;
  reallyReview_ = 1;
  logIfFailed(
      CounterFile::write(TumblaViewController::dataFilePath(kReviewFlagFile), reallyReview_),
      "record the review flag");
  std::string address = reviewPageURL();
  std::optional<Url> url = Url::parse(address);
  if (!url || !Platform::shared().application().openURL(*url)) {
    logLine("can't open the review page " + address);
  }
}

std::string ReviewRequest::reviewPageURL() const {
  return iRate::reviewPageURL(storeHost_, reviewStoreID_);
}

}  // namespace tumbla
