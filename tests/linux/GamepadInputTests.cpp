#include <SDL.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "KeyboardFocus.h"
#include "TestSupport.h"
#include "host/TumblaAppDelegate.h"
#include "json/SBJsonConveniences.h"
#include "platform/ApplicationContext.h"
#include "platform/linux/GamepadInput.h"
#include "platform/linux/GtkAlertDialog.h"
#include "platform/linux/GtkAppWindow.h"
#include "platform/linux/HostDispatcher.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxStorage.h"
#include "platform/linux/WebKitView.h"

namespace tumbla {
namespace {

using testing::pumpUntil;
using testing::ScopedEnvironment;
using testing::TemporaryDirectory;

constexpr double kDeadline = 30;

TEST(StickDirection, PointsOnlyWellAwayFromTheCentreAndHoldsUntilNearlyBack) {
  using enum PadDirection;
  struct Case {
    int x, y;
    PadDirection before, expected;
  };
  const Case cases[] = {
      // At rest, and a little off centre as a worn stick rests.
      {0, 0, None, None},
      {-3000, 2500, None, None},
      // Not yet half-way, then past it.
      {16000, 0, None, None},
      {20000, 0, None, Right},
      {-32768, 0, None, Left},
      {0, -20000, None, Up},
      {0, 32767, None, Down},
      // Diagonal: the farther axis wins.
      {20000, -25000, None, Up},
      {-25000, 20000, None, Left},
      // On the way back it still points, and stops only near the centre; the same place
      // on the way out does not point yet.
      {14000, 0, Right, Right},
      {9000, 0, Right, None},
      {14000, 0, None, None},
      {1000, 14000, Right, Down},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stickDirection(c.x, c.y, c.before), c.expected) << c.x << "," << c.y;
  }
}

// A game controller of SDL's own making, in this process, as a player's pad would be seen.
class VirtualPad {
 public:
  VirtualPad() {
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    SDL_VirtualJoystickDesc description{};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = SDL_CONTROLLER_AXIS_MAX;
    description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    description.name = "virtual pad";
    int index = SDL_JoystickAttachVirtualEx(&description);
    joystick_ = index < 0 ? nullptr : SDL_JoystickOpen(index);
  }
  ~VirtualPad() {
    unplug();
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  }
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  bool plugged() const { return joystick_ != nullptr; }

  // Each waits until SDL has seen the change, and with it the pad's reader, which takes
  // SDL's events on the same turn.
  void set(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
    EXPECT_TRUE(
        pumpUntil([&] { return SDL_JoystickGetButton(joystick_, button) == down; }, kDeadline))
        << "button " << button;
  }
  void tap(SDL_GameControllerButton button) {
    set(button, true);
    set(button, false);
  }
  void stick(Sint16 x, Sint16 y) {
    SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX, x);
    SDL_JoystickSetVirtualAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTY, y);
    EXPECT_TRUE(pumpUntil(
        [&] {
          return SDL_JoystickGetAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTX) == x &&
                 SDL_JoystickGetAxis(joystick_, SDL_CONTROLLER_AXIS_LEFTY) == y;
        },
        kDeadline));
  }

  void unplug() {
    if (!joystick_) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int index = 0; index < SDL_NumJoysticks(); ++index) {
      if (SDL_JoystickGetDeviceInstanceID(index) == id) SDL_JoystickDetachVirtual(index);
    }
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

// Until the keyboard's events that are already queued have reached their widgets.
void deliverQueuedEvents() {
  EXPECT_TRUE(pumpUntil([] { return !gdk_events_pending(); }, kDeadline));
}

// A page that writes down every key it gets, in a focused window.
class GamepadInPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = std::make_shared<GtkAppWindow>(dispatcher_, Rect{0, 0, 480, 320});
    view_ = std::make_shared<WebKitView>(dispatcher_, Rect{0, 0, 480, 320}, 5.0);
    window_->setRootView(view_);
    window_->makeKeyAndVisible();
    std::filesystem::path page = directory_.write(
        "index.html",
        "<!doctype html><body><script>var keys = [];"
        "document.addEventListener('keydown', e => keys.push(e.key));</script></body>");
    view_->loadURL(Url::fileURLWithPath(page.string()));
    ASSERT_TRUE(pumpUntil([&] { return keys().has_value(); }, kDeadline));
    gtk_window_present(window_->toplevel());
    ASSERT_TRUE(
        pumpUntil([&] { return gtk_window_has_toplevel_focus(window_->toplevel()); }, kDeadline));
  }

  // The keys the page got, in order, as one text.
  std::optional<std::string> keys() {
    Result<std::string> text = view_->evaluateScript("keys.join(' ')");
    if (!text) return std::nullopt;
    return *text;
  }
  bool keysAre(const std::string& expected) { return keys() == expected; }
  // Waits until the page has got `expected`; answers whether it has, and nothing else.
  bool pageGets(const std::string& expected) {
    pumpUntil([&] { return keysAre(expected); }, kDeadline);
    return keysAre(expected);
  }
  std::size_t count(const std::string& key) {
    std::string all = " " + keys().value_or("") + " ";
    std::size_t found = 0;
    for (std::size_t at = all.find(" " + key + " "); at != std::string::npos;
         at = all.find(" " + key + " ", at + 1)) {
      ++found;
    }
    return found;
  }
  // Long enough for a held direction to repeat more than once, had it not stopped.
  static void waitThreeRepeats() {
    pumpUntil([] { return false; }, 3 * GamepadInput::kRepeatIntervalMilliseconds / 1000.0 +
                                        GamepadInput::kRepeatDelayMilliseconds / 1000.0);
  }

  HostDispatcher dispatcher_;
  TemporaryDirectory directory_;
  std::shared_ptr<GtkAppWindow> window_;
  std::shared_ptr<WebKitView> view_;
  GamepadInput gamepad_;
};

TEST_F(GamepadInPageTest, EachButtonReachesThePageAsItsKey) {
  EXPECT_EQ(gamepad_.attachedControllers(), 0u);
  VirtualPad pad;
  ASSERT_TRUE(pad.plugged()) << SDL_GetError();
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 1; }, kDeadline));

  pad.tap(SDL_CONTROLLER_BUTTON_A);
  pad.tap(SDL_CONTROLLER_BUTTON_B);
  pad.tap(SDL_CONTROLLER_BUTTON_X);
  pad.tap(SDL_CONTROLLER_BUTTON_START);
  pad.tap(SDL_CONTROLLER_BUTTON_Y);  // nothing of the game's
  pad.tap(SDL_CONTROLLER_BUTTON_DPAD_UP);
  pad.tap(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  pad.stick(0, 30000);
  pad.stick(-2000, 1000);
  pad.stick(-30000, 0);
  pad.stick(0, 0);
  pad.tap(SDL_CONTROLLER_BUTTON_RIGHTSHOULDER);
  pad.tap(SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
  EXPECT_TRUE(pageGets("Enter Escape u Escape ArrowUp ArrowRight ArrowDown ArrowLeft Tab Tab"))
      << keys().value_or("(no answer)");
}

TEST_F(GamepadInPageTest, AHeldDirectionRepeatsUntilLetGoOrItsPadIsUnplugged) {
  auto pad = std::make_unique<VirtualPad>();
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 1; }, kDeadline));

  pad->set(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  EXPECT_TRUE(pumpUntil([&] { return count("ArrowDown") >= 3; }, kDeadline));
  pad->set(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  deliverQueuedEvents();
  std::size_t held = count("ArrowDown");
  waitThreeRepeats();
  EXPECT_EQ(count("ArrowDown"), held);

  // The stick held as well as the D-pad; another pad's press does not stop it.
  VirtualPad other;
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 2; }, kDeadline));
  pad->stick(0, -30000);
  other.tap(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(pumpUntil([&] { return count("Enter") == 1; }, kDeadline));
  std::size_t before = count("ArrowUp");
  EXPECT_TRUE(pumpUntil([&] { return count("ArrowUp") >= before + 2; }, kDeadline));

  // Pulled out mid-hold: the repeat ends with it, and a pad plugged in again plays.
  pad.reset();
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 1; }, kDeadline));
  deliverQueuedEvents();
  held = count("ArrowUp");
  waitThreeRepeats();
  EXPECT_EQ(count("ArrowUp"), held);
  VirtualPad again;
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 2; }, kDeadline));
  again.tap(SDL_CONTROLLER_BUTTON_A);
  EXPECT_TRUE(pumpUntil([&] { return count("Enter") == 2; }, kDeadline));
}

TEST_F(GamepadInPageTest, NothingGoesToTheGameWhileAnotherProgramHasTheFocus) {
  VirtualPad pad;
  ASSERT_TRUE(pumpUntil([&] { return gamepad_.attachedControllers() == 1; }, kDeadline));
  // As when the player switches to another program: none of ours has the keyboard.
  testing::takeKeyboardFocusFromEveryWindow();
  ASSERT_TRUE(
      pumpUntil([&] { return !gtk_window_has_toplevel_focus(window_->toplevel()); }, kDeadline));
  pad.tap(SDL_CONTROLLER_BUTTON_A);
  deliverQueuedEvents();
  gtk_window_present(window_->toplevel());
  ASSERT_TRUE(
      pumpUntil([&] { return gtk_window_has_toplevel_focus(window_->toplevel()); }, kDeadline));
  pad.tap(SDL_CONTROLLER_BUTTON_X);
  EXPECT_TRUE(pageGets("u")) << keys().value_or("(no answer)");
}

// On a native dialog the D-pad walks the buttons, A presses the one with the focus and B
// cancels.
TEST(GamepadOnADialog, WalksPressesAndCancels) {
  HostDispatcher dispatcher;
  GamepadInput gamepad;
  VirtualPad pad;
  ASSERT_TRUE(pumpUntil([&] { return gamepad.attachedControllers() == 1; }, kDeadline));
  struct Case {
    std::vector<SDL_GameControllerButton> taps;
    int expected;
  };
  const Case cases[] = {
      {{SDL_CONTROLLER_BUTTON_B}, 0},
      {{SDL_CONTROLLER_BUTTON_DPAD_DOWN, SDL_CONTROLLER_BUTTON_A}, 1},
      {{SDL_CONTROLLER_BUTTON_DPAD_RIGHT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
        SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_A},
       1},
  };
  for (const Case& c : cases) {
    std::optional<int> answer;
    Subscription alert =
        GtkAlertDialog::show(dispatcher, nullptr, {"Rate Tumbla", "Would you?", {"No", "Yes"}, 0},
                             [&](int index) { answer = index; });
    GtkWindow* dialog = nullptr;
    ASSERT_TRUE(pumpUntil(
        [&] {
          GList* toplevels = gtk_window_list_toplevels();
          for (GList* item = toplevels; item; item = item->next) {
            if (GTK_IS_MESSAGE_DIALOG(item->data)) dialog = GTK_WINDOW(item->data);
          }
          g_list_free(toplevels);
          // A window manager gives a new window the focus; without one it is given here.
          if (dialog && !gtk_window_has_toplevel_focus(dialog)) gtk_window_present(dialog);
          return dialog && gtk_window_has_toplevel_focus(dialog);
        },
        kDeadline));
    // Whichever button GTK focuses first, the walk starts from the first one.
    gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0));
    for (SDL_GameControllerButton button : c.taps) pad.tap(button);
    EXPECT_TRUE(pumpUntil([&] { return answer.has_value(); }, kDeadline));
    EXPECT_EQ(answer, c.expected);
  }
}

// The bundled game, on the real platform, played with nothing but a pad.
TEST(GamepadPlaysTheGame, ALevelIsSolvedWonAndSaved) {
  TemporaryDirectory data;
  ScopedEnvironment opener("TUMBLA_OPEN_URL_COMMAND", "true");
  LinuxPlatformOptions options;
  options.bundleDirectory = TUMBLA_RESOURCES_DIRECTORY;
  options.dataDirectory = data.path();
  options.mute = true;
  Result<std::unique_ptr<Platform>> created = makeLinuxPlatform(options);
  ASSERT_TRUE(created) << created.reason();
  Platform& platform = ApplicationContext::install(std::move(*created)).platform();
  struct Uninstall {
    ~Uninstall() { ApplicationContext::uninstall(); }
  } uninstall;
  std::vector<std::string> commands;
  bool started = false;
  platform.setTraceSink([&](const Dictionary& event) {
    const Value* url = event.find("url");
    if (url && url->stringIf()) commands.emplace_back(*url->stringIf());
    const Value* script = event.find("script");
    if (script && script->stringIf() && script->stringIf()->starts_with("Tumbla.setShakeToUndo")) {
      started = true;
    }
  });
  auto won = [&] {
    return std::ranges::any_of(commands, [](const std::string& url) {
      return url.find("gameCenter.prismora/submit?score=1000&level=1") != std::string::npos;
    });
  };

  std::optional<bool> secondOpeningLetThrough;
  auto play = [&] {
    auto& linuxPlatform = dynamic_cast<LinuxPlatform&>(platform);
    GtkWindow* window =
        dynamic_cast<GtkUserInterface&>(linuxPlatform.userInterface()).mainWindow()->toplevel();
    ASSERT_TRUE(
        pumpUntil([&] { return started && gtk_window_has_toplevel_focus(window); }, kDeadline));
    VirtualPad pad;
    ASSERT_TRUE(
        pumpUntil([&] { return linuxPlatform.gamepad().attachedControllers() == 1; }, kDeadline));
    // The rules come up on a first start, and A closes them; the first level is solved by
    // pressing the tile left of the centre.
    pad.tap(SDL_CONTROLLER_BUTTON_A);
    pad.tap(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    pad.tap(SDL_CONTROLLER_BUTTON_A);
    ASSERT_TRUE(pumpUntil(won, 60));

    // A pad's press is not the player's gesture that lets a link open right after another.
    Url link = *Url::parse("https://example.invalid/");
    ASSERT_TRUE(platform.application().openURL(link));
    pad.tap(SDL_CONTROLLER_BUTTON_X);
    deliverQueuedEvents();
    secondOpeningLetThrough = platform.application().openURL(link);
  };
  TumblaAppDelegate delegate;
  // Played from the loop, and the game ended the way a desktop ends it, which saves.
  std::function<void()> scenario = [&] {
    play();
    ::raise(SIGTERM);
  };
  g_idle_add(
      [](gpointer scenario) {
        (*static_cast<std::function<void()>*>(scenario))();
        return G_SOURCE_REMOVE;
      },
      &scenario);
  EXPECT_EQ(platform.application().run(delegate), 0);
  EXPECT_EQ(secondOpeningLetThrough, false);

  Result<std::string> saved =
      LinuxStorage(data.path()).readFile(data.path() / "Documents" / "gamestate.json");
  ASSERT_TRUE(saved);
  std::optional<Value> state = JSONValue(*saved);
  ASSERT_TRUE(state && state->dictionaryIf());
  // The number at `path` in the saved game, when there is one.
  auto number = [&](std::initializer_list<std::string_view> path) -> std::optional<std::int64_t> {
    const Value* value = &*state;
    for (std::string_view key : path) {
      value = value->dictionaryIf() ? value->dictionaryIf()->find(key) : nullptr;
      if (!value) return std::nullopt;
    }
    return value->toInteger();
  };
  EXPECT_EQ(number({"best", "1", "moves"}), 1) << *saved;
  EXPECT_EQ(number({"best", "1", "score"}), 1000) << *saved;
  EXPECT_EQ(number({"unlocked"}), 2) << *saved;
}

}  // namespace
}  // namespace tumbla
