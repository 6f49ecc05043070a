#include "host/TumblaAppDelegate.h"

#include "audio/SoundManager.h"
#include "host/BridgeTrace.h"
#include "host/DeploymentSettings.h"
#include "host/PromptConfiguration.h"
#include "host/Shakable.h"
#include "platform/ApplicationContext.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "value/LeadingNumber.h"

namespace tumbla {

namespace {

void registerBundleDefaults() {
  Platform& platform = Platform::shared();
  std::optional<std::string> path = platform.bundle().pathForResource("Defaults", "plist");
  if (!path) return;
  Result<std::string> bytes = platform.bundle().readResource(*path);
  if (!bytes) {
    logLine("the bundle's Defaults.plist can't be used (" + bytes.reason() +
            "); settings start off");
    return;
  }
  std::optional<Value> defaults = platform.propertyLists().parse(*bytes);
  if (!defaults || !defaults->dictionaryIf()) {
    // Every setting still reads as off or 0, and the game is playable.
    logLine(
        "the bundle's Defaults.plist is not a property-list dictionary; settings start "
        "off");
    return;
  }
  platform.userDefaults().registerDefaults(*defaults->dictionaryIf());
}

}  // namespace

TumblaAppDelegate::TumblaAppDelegate() : deployment_(DeploymentSettings::fromBundle()) {
  initialize(deployment_);
}

void TumblaAppDelegate::initialize(const DeploymentSettings& deployment) {
  if (!ApplicationContext::current().firstTime("TumblaAppDelegate::initialize")) return;

  registerBundleDefaults();
  UserDefaults& defaults = Platform::shared().userDefaults();
  TumblaViewController::synchronizeSettings();
  SoundManager& sounds = SoundManager::sharedManager();
  sounds.setAllowsBackgroundMusic(!defaults.boolForKey("enableMusic"));
  sounds.prepareToPlay();
  PromptConfiguration::configure(deployment);
}

void TumblaAppDelegate::applicationDidFinishLaunching() {
  Platform& platform = Platform::shared();
  // The view before the window: making it starts the page's load, which takes the longest.
  viewController_ = std::make_unique<TumblaViewController>(deployment_);
  const std::shared_ptr<View>& root = viewController_->view();
  // The window has the page's shape; the platform scales it to the screen.
  window_ = platform.userInterface().makeWindow(TumblaViewController::pageBounds(deployment_));
  makeShakable(*window_);

  // Systems before 4.0 had no root view controller; the view was added by hand.
  if (leadingReal(platform.application().deviceFacts().systemVersion) >= 4.0) {
    window_->setRootView(root);
  } else {
    window_->addSubview(root);
  }
  PromptConfiguration::setDelegate(viewController_->urlDispatcher());
  window_->makeKeyAndVisible();
  if (!deployment_.features.promotion) return;
  reviewRequest_ = std::make_unique<ReviewRequest>(deployment_);
  reviewRequest_->startAtLaunch();
}

void TumblaAppDelegate::applicationWillResignActive() {
  forward(LifecycleEvent::WillResignActive, &TumblaViewController::applicationWillResignActive);
}

void TumblaAppDelegate::applicationDidBecomeActive() {
  forward(LifecycleEvent::DidBecomeActive, &TumblaViewController::applicationDidBecomeActive);
}

void TumblaAppDelegate::applicationDidEnterBackground() {
  forward(LifecycleEvent::DidEnterBackground, &TumblaViewController::applicationDidEnterBackground);
}

void TumblaAppDelegate::applicationWillEnterForeground() {
  forward(LifecycleEvent::WillEnterForeground,
          &TumblaViewController::applicationWillEnterForeground);
}

void TumblaAppDelegate::applicationWillTerminate() {
  forward(LifecycleEvent::WillTerminate, &TumblaViewController::applicationWillTerminate);
}

void TumblaAppDelegate::forward(LifecycleEvent event, void (TumblaViewController::*handler)()) {
  BridgeTrace::lifecycle(lifecycleEventName(event));
  if (viewController_) (viewController_.get()->*handler)();
}

}  // namespace tumbla
