#pragma once

#include <vector>

#include "platform/Application.h"

namespace tumbla {

// An application whose events the test sends and whose outside URLs are only recorded.
class SimApplication : public Application {
 public:
  DeviceFacts deviceFacts() const override { return device_; }
  // Launches the delegate and returns at once; events follow through `send`.
  int run(ApplicationDelegate& delegate) override;

  void send(LifecycleEvent event);
  void setDeviceFacts(DeviceFacts facts) { device_ = std::move(facts); }
  const std::vector<Url>& openedURLs() const { return opened_; }
  // The player presses a key or clicks in the game's window.
  void gesture() { playerGestured(); }

 protected:
  bool openURLImpl(const Url& url) override;

 private:
  ApplicationDelegate* delegate_ = nullptr;
  DeviceFacts device_{UserInterfaceIdiom::Phone, "iPhone3,1", "4.3"};
  std::vector<Url> opened_;
};

}  // namespace tumbla
