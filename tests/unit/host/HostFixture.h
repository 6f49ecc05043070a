#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/TumblaAppDelegate.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla::testing {

// A launched host on the simulated platform: a bundle with a page and defaults, the
// app delegate, and the web view the test plays the page in.
class HostFixture : public ::testing::Test {
 protected:
  void SetUp() override { install(); }
  void TearDown() override {
    delegate.reset();
    ApplicationContext::uninstall();
  }

  // Installs a fresh platform whose stored preferences are `preferences` (a new, empty
  // store by default) and prepares the bundle; the host is not launched yet.
  void install(std::shared_ptr<SimPreferencesStore::Image> preferences = nullptr) {
    delegate.reset();
    platform = &SimPlatform::install(std::move(preferences));
    SimBundle& bundle = platform->simBundle();
    bundle.setInfo("HTML", "index");
    bundle.setInfo("UILaunchImageFile", "Default.png");
    bundle.addResource("index.html", "<html></html>");
    bundle.addResource("index~ipad.html", "<html></html>");
    Dictionary defaults{
        {"pauseButton", Value::integer(1)},     {"soundEnabled", Value::boolean(true)},
        {"musicEnabled", Value::boolean(true)}, {"resetScores", Value::boolean(false)},
        {"theme", Value::integer(0)},           {"shakeToUndo", Value::boolean(true)}};
    bundle.addResource("Defaults.plist", platform->simPropertyLists().bytesFor(defaults));
    platform->userInterface().addImage("Default.png", {320, 480});
  }

  void launch() {
    delegate = std::make_unique<TumblaAppDelegate>();
    platform->application().run(*delegate);
  }

  // Launches and lets the page finish loading.
  void launchAndLoad() {
    launch();
    webView().finishLoad();
  }

  SimWebView& webView() { return *platform->userInterface().webViews().back(); }
  TumblaViewController& controller() { return *delegate->viewController(); }
  const std::vector<std::string>& scripts() { return webView().scripts(); }
  std::string documentPath(const std::string& name) {
    return (platform->storage().documentsDirectory() / name).string();
  }
  std::optional<std::string> readDocument(const std::string& name) {
    Result<std::string> text = platform->storage().readFile(documentPath(name));
    if (!text) return std::nullopt;
    return std::move(*text);
  }
  void writeDocument(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform->storage().writeFileAtomically(documentPath(name), text));
  }
  // The contents of the documents whose names begin with `prefix`, in name order.
  std::vector<std::string> documentsStartingWith(const std::string& prefix) {
    std::vector<std::string> contents;
    SimStorage& storage = platform->simStorage();
    for (const auto& path : storage.filesIn(storage.documentsDirectory())) {
      if (path.filename().string().starts_with(prefix)) contents.push_back(*storage.readFile(path));
    }
    return contents;
  }

  SimPlatform* platform = nullptr;
  std::unique_ptr<TumblaAppDelegate> delegate;
};

}  // namespace tumbla::testing
