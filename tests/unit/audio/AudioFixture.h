#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <memory>
#include <string>

#include "audio/Sound.h"
#include "platform/ApplicationContext.h"
#include "platform/sim/SimPlatform.h"

namespace tumbla::testing {

// A fresh simulated platform whose bundle holds sounds of known lengths, and a log of the
// "SoundFinishedPlayingNotification" posts.
class AudioFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    platform = &SimPlatform::install();
    finishedSubscription = platform->notificationCenter().addObserver(
        std::string(kSoundFinishedPlayingNotification), nullptr,
        [this](const Notification& n) { finishedSenders.push_back(n.sender); });
  }
  void TearDown() override {
    finishedSubscription.cancel();
    ApplicationContext::uninstall();
  }

  // A bundle sound of `seconds` length.
  void addSound(const std::string& fileName, double seconds) {
    // Written without the locale: a German one would write "0,5".
    char text[32];
    auto end = std::to_chars(text, text + sizeof text, seconds).ptr;
    platform->simBundle().addResource(fileName, "sim-audio:" + std::string(text, end));
  }
  void advance(double seconds) { platform->runLoop().advance(seconds); }
  Date now() { return platform->runLoop().now(); }
  SimAudio& audio() { return platform->audio(); }
  // The one player made for `fileName`; fails the test when there is not exactly one.
  const SimAudio::PlayerRecord& player(const std::string& fileName) {
    auto found = audio().playersOf(fileName);
    EXPECT_EQ(found.size(), 1u) << fileName;
    static SimAudio::PlayerRecord none;
    return found.empty() ? none : *found.back();
  }

  SimPlatform* platform = nullptr;
  Subscription finishedSubscription;
  std::vector<const void*> finishedSenders;
};

}  // namespace tumbla::testing
