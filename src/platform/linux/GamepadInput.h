#pragma once

#include <SDL_events.h>
#include <SDL_gamecontroller.h>
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace tumbla {

// What a pad's buttons and directions do, whatever window has the focus.
enum class GamepadAction { Up, Down, Left, Right, Press, Back, Undo, Pause, Next, Previous };

// Where a pad's D-pad or stick points, as one of the four arrow directions.
enum class PadDirection { None, Up, Down, Left, Right };

// The direction of a stick at (x, y), each from -32768 to 32767 with y growing downwards,
// given the direction it pointed before. A stick rests a little off centre and wobbles at
// the edge of a push, so it points somewhere only well away from the centre, and once it
// does it keeps pointing until it is nearly back: no direction flickers on and off.
PadDirection stickDirection(int x, int y, PadDirection before);

// Game controllers, plugged in and out while the game runs, played as the keyboard: each
// press becomes the key event the focused window of ours would get from a keyboard, so the
// page and the native panels and dialogs work with a pad without knowing of it.
//
//   D-pad and left stick  the arrow keys in the game's page, held like one (it repeats);
//                         Tab and Shift+Tab elsewhere, which move between the controls
//   A (south)             Return: presses
//   B (east)              Escape: back (closes a page's screen or a dialog; on the board
//                         the game's way back is its pause menu)
//   X (west)              U in the page: undo
//   Start                 Escape in the page: pause, and resume
//   right and left bumper Tab and Shift+Tab everywhere: from the page to the native
//                         controls beside it (a promotion's button) and back
//
// The events are marked as sent by a program, so they never count as the player's own
// gesture for opening outside links; the pad still opens one the way any page may, one a
// second. Nothing goes to the game while another program has the focus. With no controller
// attached SDL is only asked twice a second whether one came; while one is, sixty times.
// SDL's event queue is the process's, so there is one of these at a time (the platform's).
class GamepadInput {
 public:
  static constexpr guint kIdlePollMilliseconds = 500;
  static constexpr guint kActivePollMilliseconds = 16;
  // As a held key repeats on a desktop.
  static constexpr guint kRepeatDelayMilliseconds = 400;
  static constexpr guint kRepeatIntervalMilliseconds = 100;

  // Starts SDL's game controllers once the main loop runs. Without them (they failed to
  // start) the pad is ignored, with a log line.
  GamepadInput();
  ~GamepadInput();
  GamepadInput(const GamepadInput&) = delete;
  GamepadInput& operator=(const GamepadInput&) = delete;

  std::size_t attachedControllers() const { return controllers_.size(); }

 private:
  struct Controller {
    SDL_GameController* handle;
    int stickX = 0;
    int stickY = 0;
    PadDirection stick = PadDirection::None;
  };
  // The direction being held, by whom and with what: the D-pad or the stick.
  struct Held {
    std::int32_t controller;
    GamepadAction direction;
    bool byStick;
  };

  static gboolean onStart(gpointer self);
  static gboolean onPoll(gpointer self);
  static gboolean onRepeat(gpointer self);
  // How often SDL is asked: rarely while no pad is attached.
  guint pollInterval() const;
  void schedulePoll();
  void handle(const SDL_Event& event);
  void attach(int deviceIndex);
  void detach(std::int32_t controller);
  void onButton(std::int32_t controller, std::uint8_t button, bool down);
  void onStick(std::int32_t controller, std::uint8_t axis, int value);
  void hold(std::int32_t controller, GamepadAction direction, bool byStick);
  // Stops the held direction when it is the one of `controller` from that source.
  void letGo(std::int32_t controller, bool byStick, std::optional<GamepadAction> direction);
  void stopRepeat();
  static void perform(GamepadAction action);

  guint start_ = 0;
  bool started_ = false;
  std::map<std::int32_t, Controller> controllers_;
  std::optional<Held> held_;
  guint poll_ = 0;
  guint pollInterval_ = 0;
  guint repeat_ = 0;
};

}  // namespace tumbla
