#include "platform/linux/GamepadInput.h"

#include <SDL.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "platform/Log.h"
#include "platform/linux/SdlHints.h"

namespace tumbla {

namespace {

// Half-way out before a stick points somewhere; back within a third before it stops.
constexpr int kStickEngages = 16384;
constexpr int kStickReleases = 10923;

struct KeyStroke {
  guint keyval;
  GdkModifierType state;
};

// The window of ours that has the keyboard focus, if any has.
GtkWindow* focusedWindow() {
  GtkWindow* focused = nullptr;
  GList* toplevels = gtk_window_list_toplevels();
  for (GList* item = toplevels; item && !focused; item = item->next) {
    auto* window = GTK_WINDOW(item->data);
    if (gtk_widget_get_mapped(GTK_WIDGET(window)) && gtk_window_has_toplevel_focus(window)) {
      focused = window;
    }
  }
  g_list_free(toplevels);
  return focused;
}

void sendKey(GtkWindow* window, KeyStroke stroke) {
  GdkWindow* target = gtk_widget_get_window(GTK_WIDGET(window));
  GdkDisplay* display = gdk_window_get_display(target);
  GdkKeymapKey* keys = nullptr;
  gint found = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), stroke.keyval, &keys,
                                    &found);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(target));
    // Sent by a program: the gate for outside links does not take it for the player's.
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = stroke.keyval;
    event->key.state = stroke.state;
    event->key.string = g_strdup("");
    if (found > 0) {
      event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
      event->key.group = static_cast<guint8>(keys[0].group);
    }
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gdk_display_put_event(display, event);
    gdk_event_free(event);
  }
  g_free(keys);
}

// The page reads the arrows itself; native controls are walked with Tab, which every one of
// them takes, where the arrows would move a text field's cursor instead.
std::optional<KeyStroke> strokeFor(GamepadAction action, bool inPage) {
  constexpr auto kPlain = GdkModifierType(0);
  constexpr KeyStroke kNext{GDK_KEY_Tab, kPlain};
  constexpr KeyStroke kPrevious{GDK_KEY_Tab, GDK_SHIFT_MASK};
  switch (action) {
    case GamepadAction::Up:
      return inPage ? KeyStroke{GDK_KEY_Up, kPlain} : kPrevious;
    case GamepadAction::Left:
      return inPage ? KeyStroke{GDK_KEY_Left, kPlain} : kPrevious;
    case GamepadAction::Down:
      return inPage ? KeyStroke{GDK_KEY_Down, kPlain} : kNext;
    case GamepadAction::Right:
      return inPage ? KeyStroke{GDK_KEY_Right, kPlain} : kNext;
    case GamepadAction::Press:
      return KeyStroke{GDK_KEY_Return, kPlain};
    case GamepadAction::Back:
      return KeyStroke{GDK_KEY_Escape, kPlain};
    case GamepadAction::Undo:
      if (inPage) return KeyStroke{GDK_KEY_u, kPlain};
      return std::nullopt;
    case GamepadAction::Pause:
      if (inPage) return KeyStroke{GDK_KEY_Escape, kPlain};
      return std::nullopt;
    case GamepadAction::Next:
      return kNext;
    case GamepadAction::Previous:
      return kPrevious;
  }
  return std::nullopt;
}

constexpr std::pair<SDL_GameControllerButton, GamepadAction> kButtons[] = {
    {SDL_CONTROLLER_BUTTON_DPAD_UP, GamepadAction::Up},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, GamepadAction::Down},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, GamepadAction::Left},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, GamepadAction::Right},
    {SDL_CONTROLLER_BUTTON_A, GamepadAction::Press},
    {SDL_CONTROLLER_BUTTON_B, GamepadAction::Back},
    {SDL_CONTROLLER_BUTTON_X, GamepadAction::Undo},
    {SDL_CONTROLLER_BUTTON_START, GamepadAction::Pause},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, GamepadAction::Next},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, GamepadAction::Previous},
};

std::optional<GamepadAction> actionOf(std::uint8_t button) {
  for (auto [pressed, action] : kButtons) {
    if (pressed == button) return action;
  }
  return std::nullopt;
}

bool isDirection(GamepadAction action) {
  return action == GamepadAction::Up || action == GamepadAction::Down ||
         action == GamepadAction::Left || action == GamepadAction::Right;
}

// A stick's direction other than None, as the D-pad's.
GamepadAction towards(PadDirection direction) {
  switch (direction) {
    case PadDirection::Up:
      return GamepadAction::Up;
    case PadDirection::Down:
      return GamepadAction::Down;
    case PadDirection::Left:
      return GamepadAction::Left;
    default:
      return GamepadAction::Right;
  }
}

}  // namespace

PadDirection stickDirection(int x, int y, PadDirection before) {
  int reach = before == PadDirection::None ? kStickEngages : kStickReleases;
  int across = std::abs(x);
  int along = std::abs(y);
  if (across < reach && along < reach) return PadDirection::None;
  if (across > along) return x < 0 ? PadDirection::Left : PadDirection::Right;
  return y < 0 ? PadDirection::Up : PadDirection::Down;
}

GamepadInput::GamepadInput() {
  // Starting the controllers loads libraries and looks at the devices: once the main loop
  // runs, so that it never holds up the page's load.
  start_ = g_idle_add_full(G_PRIORITY_LOW, onStart, this, nullptr);
}

gboolean GamepadInput::onStart(gpointer self) {
  auto* input = static_cast<GamepadInput*>(self);
  input->start_ = 0;
  setSdlHints();
  // SDL counts the users of each of its parts: the events part, which the sound uses too,
  // stays up for as long as either needs it.
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    logLine(std::string("no game controllers (") + SDL_GetError() + ")");
    return G_SOURCE_REMOVE;
  }
  input->started_ = true;
  input->schedulePoll();
  return G_SOURCE_REMOVE;
}

GamepadInput::~GamepadInput() {
  if (start_ != 0) g_source_remove(start_);
  if (!started_) return;
  stopRepeat();
  if (poll_ != 0) g_source_remove(poll_);
  for (auto& [id, controller] : controllers_) SDL_GameControllerClose(controller.handle);
  SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

guint GamepadInput::pollInterval() const {
  return controllers_.empty() ? kIdlePollMilliseconds : kActivePollMilliseconds;
}

void GamepadInput::schedulePoll() {
  pollInterval_ = pollInterval();
  poll_ = g_timeout_add(pollInterval_, onPoll, this);
}

gboolean GamepadInput::onPoll(gpointer self) {
  auto* input = static_cast<GamepadInput*>(self);
  SDL_PumpEvents();
  SDL_Event event;
  while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_CONTROLLERAXISMOTION,
                        SDL_CONTROLLERDEVICEREMAPPED) > 0) {
    input->handle(event);
  }
  // The controllers' events are made from the joysticks' ones, which nobody else reads.
  SDL_FlushEvents(SDL_JOYAXISMOTION, SDL_JOYBATTERYUPDATED);
  // A pad came or the last one went: the next look is at the other rate.
  if (input->pollInterval() == input->pollInterval_) return G_SOURCE_CONTINUE;
  input->schedulePoll();
  return G_SOURCE_REMOVE;
}

void GamepadInput::handle(const SDL_Event& event) {
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
      attach(event.cdevice.which);
      break;
    case SDL_CONTROLLERDEVICEREMOVED:
      detach(event.cdevice.which);
      break;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
      onButton(event.cbutton.which, event.cbutton.button, event.cbutton.state == SDL_PRESSED);
      break;
    case SDL_CONTROLLERAXISMOTION:
      onStick(event.caxis.which, event.caxis.axis, event.caxis.value);
      break;
    default:
      break;
  }
}

void GamepadInput::attach(int deviceIndex) {
  SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(deviceIndex);
  if (id < 0 || controllers_.count(id)) return;
  SDL_GameController* handle = SDL_GameControllerOpen(deviceIndex);
  if (!handle) {
    logLine(std::string("can't use the game controller (") + SDL_GetError() + ")");
    return;
  }
  controllers_.emplace(id, Controller{handle});
}

void GamepadInput::detach(std::int32_t controller) {
  auto found = controllers_.find(controller);
  if (found == controllers_.end()) return;
  // SDL lets go of what a pad held as it goes; a pad gone never repeats its last word anyway.
  if (held_ && held_->controller == controller) stopRepeat();
  SDL_GameControllerClose(found->second.handle);
  controllers_.erase(found);
}

void GamepadInput::onButton(std::int32_t controller, std::uint8_t button, bool down) {
  std::optional<GamepadAction> action = actionOf(button);
  if (!action) return;
  if (isDirection(*action)) {
    if (down) {
      hold(controller, *action, false);
    } else {
      letGo(controller, false, action);
    }
  } else if (down) {
    perform(*action);
  }
}

void GamepadInput::onStick(std::int32_t controller, std::uint8_t axis, int value) {
  auto found = controllers_.find(controller);
  if (found == controllers_.end()) return;
  Controller& pad = found->second;
  if (axis == SDL_CONTROLLER_AXIS_LEFTX) {
    pad.stickX = value;
  } else if (axis == SDL_CONTROLLER_AXIS_LEFTY) {
    pad.stickY = value;
  } else {
    return;
  }
  PadDirection direction = stickDirection(pad.stickX, pad.stickY, pad.stick);
  if (direction == pad.stick) return;
  pad.stick = direction;
  letGo(controller, true, std::nullopt);
  if (direction != PadDirection::None) hold(controller, towards(direction), true);
}

void GamepadInput::hold(std::int32_t controller, GamepadAction direction, bool byStick) {
  stopRepeat();
  held_ = Held{controller, direction, byStick};
  perform(direction);
  repeat_ = g_timeout_add(kRepeatDelayMilliseconds, onRepeat, this);
}

void GamepadInput::letGo(std::int32_t controller, bool byStick,
                         std::optional<GamepadAction> direction) {
  if (!held_ || held_->controller != controller || held_->byStick != byStick) return;
  if (direction && held_->direction != *direction) return;
  stopRepeat();
}

void GamepadInput::stopRepeat() {
  held_.reset();
  if (repeat_ != 0) g_source_remove(repeat_);
  repeat_ = 0;
}

gboolean GamepadInput::onRepeat(gpointer self) {
  auto* input = static_cast<GamepadInput*>(self);
  perform(input->held_->direction);
  input->repeat_ = g_timeout_add(kRepeatIntervalMilliseconds, onRepeat, self);
  return G_SOURCE_REMOVE;
}

void GamepadInput::perform(GamepadAction action) {
  GtkWindow* window = focusedWindow();
  if (!window) return;
  GtkWidget* focus = gtk_window_get_focus(window);
  if (std::optional<KeyStroke> stroke = strokeFor(action, focus && WEBKIT_IS_WEB_VIEW(focus))) {
    sendKey(window, *stroke);
  }
}

}  // namespace tumbla
