#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <vector>

#include "TestSupport.h"
#include "platform/ApplicationContext.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/LinuxStorage.h"

namespace tumbla {
namespace {

using testing::CapturedLog;
using testing::pumpUntil;
using testing::ScopedEnvironment;
using testing::TemporaryDirectory;
using enum LifecycleEvent;

// Makes the window on launch, records every event, and runs `afterLaunch` from the loop.
class RecordingAppDelegate : public ApplicationDelegate {
 public:
  void applicationDidFinishLaunching() override {
    UserInterface& ui = Platform::shared().userInterface();
    window = ui.makeWindow({0, 0, 480, 320});
    window->setRootView(ui.makeView({}));
    window->makeKeyAndVisible();
    g_idle_add(
        [](gpointer self) {
          auto* delegate = static_cast<RecordingAppDelegate*>(self);
          if (delegate->afterLaunch) delegate->afterLaunch();
          return G_SOURCE_REMOVE;
        },
        this);
  }
  void applicationWillResignActive() override { events.push_back(WillResignActive); }
  void applicationDidBecomeActive() override { events.push_back(DidBecomeActive); }
  void applicationDidEnterBackground() override { events.push_back(DidEnterBackground); }
  void applicationWillEnterForeground() override { events.push_back(WillEnterForeground); }
  void applicationWillTerminate() override { events.push_back(WillTerminate); }

  std::shared_ptr<Window> window;
  std::function<void()> afterLaunch;
  std::vector<LifecycleEvent> events;
};

class LinuxApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override { install(); }
  void TearDown() override { ApplicationContext::uninstall(); }

  // A fresh platform on the same folders (the data directory lock passes to it).
  void install() {
    ApplicationContext::uninstall();
    bundle_.write("Info.plist", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict/></plist>");
    LinuxPlatformOptions options;
    options.bundleDirectory = bundle_.path();
    options.dataDirectory = data_.path();
    Result<std::unique_ptr<Platform>> created = makeLinuxPlatform(options);
    ASSERT_TRUE(created) << created.reason();
    ApplicationContext::install(std::move(*created));
  }

  GtkWidget* toplevelOf(const std::shared_ptr<Window>& window) {
    return GTK_WIDGET(std::dynamic_pointer_cast<GtkAppWindow>(window)->toplevel());
  }

  // The events after the launch, without the focus changes that a window manager (or its
  // absence) may add on the way.
  static std::vector<LifecycleEvent> withoutFocusNoise(std::vector<LifecycleEvent> events) {
    std::vector<LifecycleEvent> kept;
    for (LifecycleEvent event : events) {
      if (!kept.empty() && kept.back() == WillResignActive && event == DidBecomeActive) {
        kept.pop_back();
        continue;
      }
      kept.push_back(event);
    }
    return kept;
  }

  TemporaryDirectory bundle_;
  TemporaryDirectory data_;
};

TEST_F(LinuxApplicationTest, StopSignalsEndTheApplicationThroughTheBackground) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    install();
    RecordingAppDelegate delegate;
    delegate.afterLaunch = [signal] { ::raise(signal); };
    EXPECT_EQ(Platform::shared().application().run(delegate), 0);
    EXPECT_EQ(withoutFocusNoise(delegate.events),
              (std::vector<LifecycleEvent>{DidBecomeActive, WillResignActive, DidEnterBackground,
                                           WillTerminate}))
        << signal;
  }
}

TEST_F(LinuxApplicationTest, ClosingTheWindowPassesThroughTheBackgroundAndEnds) {
  RecordingAppDelegate delegate;
  delegate.afterLaunch = [&] { gtk_window_close(GTK_WINDOW(toplevelOf(delegate.window))); };
  EXPECT_EQ(Platform::shared().application().run(delegate), 0);
  EXPECT_EQ(withoutFocusNoise(delegate.events),
            (std::vector<LifecycleEvent>{DidBecomeActive, WillResignActive, DidEnterBackground,
                                         WillTerminate}));
}

TEST_F(LinuxApplicationTest, ControlShiftSShakesTheDevice) {
  RecordingAppDelegate delegate;
  std::vector<EventSubtype> motions;
  auto press = [&](guint keyval, GdkModifierType modifiers) {
    GtkWidget* toplevel = toplevelOf(delegate.window);
    GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
    event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(toplevel)));
    event->key.keyval = keyval;
    event->key.state = modifiers;
    gtk_widget_event(toplevel, event);
    gdk_event_free(event);
  };
  delegate.afterLaunch = [&] {
    delegate.window->setMotionHandler(
        [&](Window&, const MotionEvent& event) { motions.push_back(event.subtype); });
    press(GDK_KEY_S, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK));
    press(GDK_KEY_s, GDK_CONTROL_MASK);
    press(GDK_KEY_S, GDK_SHIFT_MASK);
    ::raise(SIGTERM);
  };
  Platform::shared().application().run(delegate);
  EXPECT_EQ(motions, std::vector<EventSubtype>{EventSubtype::MotionShake});
}

TEST_F(LinuxApplicationTest, OutsideUrlsGoToTheConfiguredCommandAsOneArgument) {
  std::filesystem::path received = data_.path() / "opened.txt";
  std::filesystem::path opener = data_.write(
      "opener.sh", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + received.string() + ".tmp\" && mv \"" +
                       received.string() + ".tmp\" \"" + received.string() + "\"\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  ScopedEnvironment command("TUMBLA_OPEN_URL_COMMAND", opener.c_str());

  const char* text = "https://example.invalid/a b?x=1&y=$(touch injected);z";
  ASSERT_TRUE(Platform::shared().application().openURL(*Url::parse(text)));
  LinuxStorage files(data_.path());
  ASSERT_TRUE(pumpUntil([&] { return files.fileExists(received); }, 10));
  EXPECT_EQ(files.readFile(received).value(), text);
  EXPECT_FALSE(files.fileExists("injected"));
}

TEST_F(LinuxApplicationTest, AnOpenerThatCantRunIsReportedAsAFailure) {
  ScopedEnvironment command("TUMBLA_OPEN_URL_COMMAND", (data_.path() / "no-such-opener").c_str());
  CapturedLog log;
  EXPECT_FALSE(Platform::shared().application().openURL(*Url::parse("https://example.invalid/")));
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_NE(log.lines()[0].find("https://example.invalid/"), std::string::npos);
}

}  // namespace
}  // namespace tumbla
