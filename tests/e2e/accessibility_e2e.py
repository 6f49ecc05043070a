#!/usr/bin/python3
"""End-to-end: the bundled game played with the keyboard as a screen-reader user plays it,
heard through the accessibility bus from outside the process (python3-pyatspi, hence the
system Python).

Run under a display and a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    accessibility_e2e.py --binary build/app/tumbla [unittest options]
"""

import subprocess
import sys
import time
import unittest
from pathlib import Path

import pyatspi
from gi.repository import GLib

sys.path.insert(0, str(Path(__file__).resolve().parent))
import tumbla_e2e  # noqa: E402  (the shared helpers: runs, data folders)
from tumbla_prompts_e2e import parent_of  # noqa: E402

RESOURCES = Path(__file__).resolve().parents[2] / "resources"


def fresh_text(accessible):
    """The accessible's name, or its text when it has no name, read anew rather than from the
    client's cache, which keeps names from before a change."""
    accessible.clear_cache()
    if accessible.name:
        return accessible.name
    try:
        text = accessible.queryText()
    except NotImplementedError:
        return ""
    return text.getText(0, text.characterCount)


def is_polite_live_region(accessible):
    try:
        attributes = dict(a.split(":", 1) for a in accessible.getAttributes())
    except Exception:
        return False
    return attributes.get("live") == "polite"


class Listener:
    """What a screen reader would hear from one run of the game: which control takes focus,
    and what is added to a polite live region. There is one for the whole suite: a web process
    started after a listener was taken off the bus and put back was never heard from."""

    def __init__(self):
        self.follow(None)
        pyatspi.Registry.registerEventListener(self.on_focus, "object:state-changed:focused")
        pyatspi.Registry.registerEventListener(self.on_child_added, "object:children-changed:add")

    def follow(self, pid):
        self.pid = pid
        self.focused = []
        self.announced = []
        # How many focus changes and announcements the test has already waited for.
        self.heard = {"focus": 0, "announcement": 0}

    def ours(self, accessible):
        try:
            app_pid = accessible.getApplication().get_process_id()
        except Exception:
            return False
        # The page lives in the engine's web process, which the game started.
        return app_pid == self.pid or parent_of(app_pid) == self.pid

    def on_focus(self, event):
        if event.detail1 == 1 and self.ours(event.source):
            self.focused.append((event.source.getRoleName(), fresh_text(event.source)))

    def on_child_added(self, event):
        if is_polite_live_region(event.source) and self.ours(event.source):
            self.announced.append(fresh_text(event.any_data))

    def find_live_region(self):
        """The page's polite live region. A screen reader reads the page when it loads; the
        engine tells of changes only in the parts of the page that a client has seen."""
        def search():
            desktop = pyatspi.Registry.getDesktop(0)
            for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
                if app is not None and self.ours(app):
                    found = pyatspi.findDescendant(app, is_polite_live_region, True)
                    if found is not None:
                        return found
            return None
        return self.wait_for(search, "the page's live region")

    # Events arrive through the main loop, which runs while waiting; a loaded machine can take
    # many seconds for each step.
    def wait_for(self, condition, what, timeout=90.0):
        context = GLib.MainContext.default()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            while context.pending():
                context.iteration(False)
            found = condition()
            if found:
                return found
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}; focused {self.focused[-5:]}, "
                             f"announced {self.announced[-5:]}")

    def wait_next(self, kind, heard, matches, what):
        """The first of `heard` after the last one waited for of its kind that `matches`."""
        def next_match():
            for index in range(self.heard[kind], len(heard)):
                if matches(heard[index]):
                    self.heard[kind] = index + 1
                    return heard[index]
            return None
        return self.wait_for(next_match, what)

    def wait_focus(self, role, name_start):
        """The name of the next control of `role` to take focus whose name starts so."""
        return self.wait_next("focus", self.focused,
                              lambda focus: focus[0] == role and focus[1].startswith(name_start),
                              f"{role} {name_start!r} focused")[1]

    def wait_announcement(self, start):
        return self.wait_next("announcement", self.announced, lambda said: said.startswith(start),
                              f"an announcement starting {start!r}")


LISTENER = None


def listen_to(pid):
    global LISTENER
    if LISTENER is None:
        LISTENER = Listener()
    LISTENER.follow(pid)
    return LISTENER


class ScreenReader(unittest.TestCase):
    setUp = tumbla_e2e.EndToEnd.setUp
    tearDown = tumbla_e2e.EndToEnd.tearDown
    start = tumbla_e2e.EndToEnd.start

    def press_key(self, key):
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Tumbla$"],
                                capture_output=True, text=True, timeout=60).stdout.split()
        self.assertTrue(window, "the game's window")
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], timeout=60)
        subprocess.run(["xdotool", "key", key], check=True, timeout=60)

    def test_on_the_phone_page(self):
        # Tab from the board reaches Restart, as Undo has nothing to take back.
        self.play(args=(), tab_reaches="Restart", which_says="Level 2,")

    def test_on_the_tablet_page(self):
        # Tab from the board reaches the levels beside it.
        self.play(args=("--device", "ipad"), tab_reaches="Level 1, best 1000", which_says="Level 1,")

    def play(self, args, tab_reaches, which_says):
        """Each move is spoken, and focus follows the cursor on the board and the levels."""
        run = self.start(RESOURCES, args=args)
        listener = listen_to(run.process.pid)
        run.wait_started()
        # A first start shows the rules, their Play button focused.
        listener.wait_focus("push button", "Play")
        self.assertEqual(listener.find_live_region().getRoleName(), "status bar")

        # Level 1 (3x3, par 1) starts with the cursor on the centre; it is solved by pressing
        # the tile left of it.
        self.press_key("Return")
        self.assertEqual(listener.wait_focus("toggle button", "Row"), "Row 2, column 2, lit")
        self.press_key("Up")
        self.assertEqual(listener.wait_focus("toggle button", "Row"), "Row 1, column 2, dark")
        self.press_key("Left")
        self.assertEqual(listener.wait_focus("toggle button", "Row"), "Row 1, column 1, lit")

        self.press_key("Return")
        self.assertEqual(listener.wait_announcement("Pressed"),
                         "Pressed row 1, column 1. 3 of 9 tiles lit. 1 move, par 1.")
        self.press_key("u")
        self.assertEqual(listener.wait_announcement("Took back"),
                         "Took back row 1, column 1. 4 of 9 tiles lit. 0 moves, par 1.")
        self.press_key("Down")
        self.assertEqual(listener.wait_focus("toggle button", "Row"), "Row 2, column 1, lit")
        self.press_key("Return")
        self.assertEqual(listener.wait_announcement("Pressed row 2"),
                         "Pressed row 2, column 1. Solved in 1 move, within par 1!")
        listener.wait_focus("push button", "Next level")

        # Escape leaves the win for the next level, which says what it is.
        self.press_key("Escape")
        self.assertRegex(listener.wait_announcement("Level 2"),
                         r"^Level 2, easy, 3 by 3, plus rule\. \d of 9 tiles lit\. 0 moves, par 2\.$")

        # The levels screen: the current level has focus, the arrows move it to open levels.
        self.press_key("l")
        self.assertEqual(listener.wait_focus("push button", "Level"), "Level 2")
        self.press_key("Left")
        self.assertEqual(listener.wait_focus("push button", "Level"), "Level 1, best score 1000")
        # Back on the board, focus is on its cursor again.
        self.press_key("Escape")
        listener.wait_focus("toggle button", "Row 2, column 2, ")

        # Tab leaves the board; Enter works the button that has the focus, which starts a
        # level and says so; an arrow brings focus back to the board.
        self.press_key("Tab")
        self.assertEqual(listener.wait_focus("push button", ""), tab_reaches)
        self.press_key("Return")
        listener.wait_announcement(which_says)
        self.press_key("Right")
        listener.wait_focus("toggle button", "Row 2, column 3, ")
        self.assertEqual(run.terminate(), 0)


if __name__ == "__main__":
    tumbla_e2e.run_suite()
