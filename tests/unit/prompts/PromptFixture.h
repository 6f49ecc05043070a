#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla::testing {

// A fresh simulated platform with a bundle that names the game and its version; the
// prompt components are made afresh for it on first use.
class PromptFixture : public ::testing::Test {
 protected:
  static constexpr double kDay = 86400;

  void SetUp() override {
    platform = &SimPlatform::install();
    platform->simBundle().setInfo("CFBundleName", "Tumbla");
    platform->simBundle().setInfo("CFBundleVersion", "1.0");
  }
  void TearDown() override { ApplicationContext::uninstall(); }

  void post(std::string_view name) {
    platform->notificationCenter().post(std::string(name));
    platform->runLoop().runPendingTasks();
  }
  void launch() { post(kDidFinishLaunchingNotification); }
  void returnToForeground() { post(kWillEnterForegroundNotification); }
  void daysPass(double days) { platform->runLoop().advance(days * kDay); }
  std::string plistBytes(Value value) {
    return platform->simPropertyLists().bytesFor(std::move(value));
  }
  void serve(const std::string& url, std::string body, double delay = 0) {
    platform->urlLoader().setAnswer(url, {200, std::move(body), {}, delay});
  }
  const Value* stored(std::string_view key) { return platform->userDefaults().objectForKey(key); }
  std::vector<Alert> alerts() { return platform->userInterface().visibleAlerts(); }
  const std::vector<Url>& opened() { return platform->application().openedURLs(); }

  SimPlatform* platform = nullptr;
};

inline Array strings(std::initializer_list<const char*> texts) {
  Array array;
  for (const char* text : texts) array.push_back(Value(text));
  return array;
}

}  // namespace tumbla::testing
