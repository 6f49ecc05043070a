#pragma once

#include <functional>
#include <string>

#include "bridge/QueryParams.h"
#include "value/Value.h"

namespace tumbla {

// The player's settings (theme, pause corner, sound, music, shake to undo, a pending score
// reset): kept in the user defaults, pushed to the page when it is ready and whenever the
// game comes back, and stored when the page's settings screen sends them.
namespace GameSettings {

// Writes the settings to their file; a write that fails is logged by the defaults.
void synchronize();
// Reads the stored settings again and hands the page the calls that set them.
void pushToPage(const std::function<void(const std::string& script)>& evaluate);
// Takes what the page's settings screen sent; written at the next synchronize.
void storeFromPage(const QueryParameters& parameters);
// Writes the settings with the scores the leaderboard has not taken yet.
void save(const Array& unsentScores);

}  // namespace GameSettings
}  // namespace tumbla
