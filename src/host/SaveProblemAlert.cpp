#include "host/SaveProblemAlert.h"

#include "platform/Log.h"
#include "platform/Platform.h"

namespace tumbla {

void SaveProblemAlert::report(const std::string& reason) {
  logLine("the game was not saved: " + reason);
  // Once a run: the player can do something about it (free space, permissions, another
  // data directory), but an alert at every save would make the game unplayable.
  if (playerTold_) return;
  playerTold_ = true;
  alert_ = Platform::shared().userInterface().showAlert(
      {"Progress can't be saved",
       "Your progress can't be saved in " +
           Platform::shared().storage().documentsDirectory().string() +
           ". The game goes on, but what you play now will be lost when it ends.\n\n(" + reason +
           ")",
       {"OK"},
       0},
      [](int) {});
}

}  // namespace tumbla
