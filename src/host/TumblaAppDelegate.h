#pragma once

#include <memory>
#include <string>

#include "host/DeploymentSettings.h"
#include "host/ReviewRequest.h"
#include "host/TumblaViewController.h"
#include "platform/Application.h"
#include "platform/Window.h"

namespace tumbla {

// The application's entry: registers the default settings, makes the window and the one
// view controller, and forwards the application's lifecycle events to it.
class TumblaAppDelegate : public ApplicationDelegate {
 public:
  // Reads the bundle's deployment settings and runs the class's one-time set-up for the
  // installed platform first.
  TumblaAppDelegate();

  // Registers the bundle's "Defaults" property list as the settings' fallback and sets up
  // the engagement prompts. Runs once per installed platform, before the first delegate
  // is made.
  static void initialize(const DeploymentSettings& deployment);

  void applicationDidFinishLaunching() override;
  void applicationWillResignActive() override;
  void applicationDidBecomeActive() override;
  void applicationDidEnterBackground() override;
  void applicationWillEnterForeground() override;
  void applicationWillTerminate() override;

  std::string dataFilePath(const std::string& fileName) const {
    return TumblaViewController::dataFilePath(fileName);
  }
  const std::shared_ptr<Window>& window() const { return window_; }
  TumblaViewController* viewController() const { return viewController_.get(); }
  ReviewRequest* reviewRequest() const { return reviewRequest_.get(); }

 private:
  // Every event reaches the controller under the same name, and the trace.
  void forward(LifecycleEvent event, void (TumblaViewController::*handler)());

  DeploymentSettings deployment_;
  std::shared_ptr<Window> window_;
  std::unique_ptr<TumblaViewController> viewController_;
  std::unique_ptr<ReviewRequest> reviewRequest_;
};

}  // namespace tumbla
