#!/usr/bin/env python3
"""End-to-end window: the real tumbla opens fitted to the screen, comes back as it was left,
and a bundle's own page size and host features shape what it shows.

Run under a display with a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    window_e2e.py --binary build/app/tumbla [unittest options]
"""

import plistlib
import subprocess
import time
import urllib.parse

import pyatspi

import tumbla_e2e
from tumbla_e2e import make_bundle

# What the host's own features put on screen, by accessible name.
HOST_CONTROLS = {"Snapshot", "Promotion", "Share on Facebook", "Cancel", "Message"}


def game_window():
    return subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Tumbla$"],
                          capture_output=True, text=True, timeout=60).stdout.split()[0]


def geometry(window):
    """The window's X, Y, WIDTH and HEIGHT on the screen."""
    shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                           capture_output=True, text=True, timeout=60).stdout
    fields = dict(line.split("=", 1) for line in shell.split() if "=" in line)
    return tuple(int(fields[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))


def screen_size():
    shell = subprocess.run(["xdotool", "getdisplaygeometry"], capture_output=True, text=True,
                           timeout=60).stdout.split()
    return int(shell[0]), int(shell[1])


def accessible_names():
    """Every name in tumbla's accessibility tree, showing or not."""
    names = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != "tumbla":
            continue
        stack = [app]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            names.append((node.getRoleName(), node.name or ""))
            stack.extend(node[i] for i in range(node.childCount))
    return names


class Window(tumbla_e2e.EndToEnd):
    def wait_geometry(self, run, window, wanted, what):
        run.wait_for(lambda r: wanted(geometry(window)), what=what)
        return geometry(window)

    def remembered(self):
        path = self.data / "preferences.plist"
        if not path.exists():
            return {}
        with open(path, "rb") as f:
            return plistlib.load(f)

    def test_the_window_fits_the_screen_and_comes_back_as_it_was_left(self):
        bundle = make_bundle(self.root)
        screen_width, screen_height = screen_size()
        run = self.start(bundle)
        run.wait_started()
        window = game_window()
        x, y, width, height = geometry(window)
        # Much larger than the page's own 480x320, inside the screen, in the page's shape.
        self.assertGreater(height, 320 * 2)
        self.assertLess(width, screen_width)
        self.assertLess(height, screen_height)
        self.assertLessEqual(abs(width * 320 - height * 480), 480, (width, height))
        self.assertGreaterEqual(x, 0)
        self.assertGreaterEqual(y, 0)

        # Moved and made smaller, in another shape: the page shows letterboxed.
        subprocess.run(["xdotool", "windowsize", window, "620", "400",
                        "windowmove", window, "40", "70"], check=True, timeout=60)
        self.wait_geometry(run, window, lambda g: g == (40, 70, 620, 400), "the moved window")
        run.wait_for(lambda r: self.remembered().get("windowWidth") == 620,
                     what="the remembered size")
        self.assertEqual(run.terminate(), 0)
        kept = self.remembered()
        self.assertEqual((kept["windowX"], kept["windowY"], kept["windowWidth"],
                          kept["windowHeight"], kept["windowFullScreen"]),
                         (40, 70, 620, 400, False))
        # Beside the host's own settings, in the same file.
        self.assertIn("unsentScores", kept)

        run = self.start(bundle)
        run.wait_started()
        self.wait_geometry(run, game_window(), lambda g: g == (40, 70, 620, 400),
                           "the window as left")
        self.assertEqual(run.terminate(), 0)

        # A remembered place on a monitor that is no longer there is dropped: fitted anew.
        with open(self.data / "preferences.plist", "rb") as f:
            preferences = plistlib.load(f)
        preferences.update(windowX=5000, windowY=3000)
        with open(self.data / "preferences.plist", "wb") as f:
            plistlib.dump(preferences, f)
        run = self.start(bundle)
        run.wait_started()
        self.wait_geometry(run, game_window(), lambda g: g == (x, y, width, height),
                           "the window fitted anew")
        self.assertEqual(run.terminate(), 0)

    def test_a_portrait_page_without_host_features_shows_whole_and_alone(self):
        # Reports the page's viewport once started.
        extra = ("send('tumbla://app.prismora/viewport?width=' + window.innerWidth + "
                 "'&height=' + window.innerHeight);")
        info = {"HTML": "index", "CFBundleName": "Tumbla", "TumblaPageSize": "500x900",
                "TumblaHostFeatures": [],
                # Everything a host feature would need to show.
                "TumblaUpgradeURL": "https://store.test/upgrade",
                "TumblaPromotionURL": "https://promo.test/"}
        bundle = make_bundle(self.root, extra=extra, info=info)
        # The first start is the second activation, which offers the upgrade; the next
        # opens the share panel by itself.
        (self.data / "Documents").mkdir()
        (self.data / "Documents" / "yongHu31.plist").write_text("1")
        for start in ("upgrade due", "share panel due"):
            run = self.start(bundle)
            run.wait_for(lambda r: any("viewport" in n["url"] for n in r.navigations()),
                          what="the page's viewport")
            run.wait_for(lambda r: "applicationDidBecomeActive:" in r.lifecycle(),
                         what="the activation")
            viewport = [n["url"] for n in run.navigations() if "viewport" in n["url"]][-1]
            query = urllib.parse.parse_qs(urllib.parse.urlsplit(viewport).query)
            # The whole page is shown: its viewport is the size it asked for.
            self.assertLessEqual(abs(int(query["width"][0]) - 500), 1, (start, viewport))
            self.assertLessEqual(abs(int(query["height"][0]) - 900), 1, (start, viewport))
            _, _, width, height = geometry(game_window())
            self.assertLessEqual(abs(width * 900 - height * 500), 900, (start, width, height))
            # The accessibility tree has the game's window, and nothing of the host's own.
            deadline = time.monotonic() + 60
            names = accessible_names()
            while not any(role == "frame" for role, _ in names) and time.monotonic() < deadline:
                time.sleep(0.2)
                names = accessible_names()
            self.assertIn(("frame", "Tumbla"), names, start)
            shown = {name for _, name in names} & HOST_CONTROLS
            self.assertEqual(shown, set(), (start, names))
            self.assertFalse([name for _, name in names if "Upgrade" in name], (start, names))
            self.assertEqual(run.terminate(), 0)


def load_tests(loader, tests, pattern):
    """This file's own tests, not those of the suite its fixture comes from."""
    return loader.loadTestsFromNames(
        f"{__name__}.Window.{name}" for name in vars(Window) if name.startswith("test_"))


if __name__ == "__main__":
    tumbla_e2e.run_suite()
