#!/usr/bin/env python3
"""End-to-end native controls with real input: a window manager beside the display, the
pointer and the keyboard driven through the X server (xdotool), positions taken from the
accessibility tree; the page records every key that reaches it.

Run under a display with a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    controls_e2e.py --binary build/app/tumbla [unittest options]
"""

import http.server
import shutil
import subprocess
import tempfile
import threading
import time
import unittest
import urllib.parse
from pathlib import Path

import pyatspi

import tumbla_e2e
from share_e2e import find, press
from tumbla_e2e import Run, make_bundle

RESOURCES = Path(__file__).resolve().parents[2] / "resources"

# Every key that reaches the page comes back as a command.
RECORD_KEYS = """
  document.addEventListener('keydown', function (e) {
    send('tumbla://app.prismora/key?k=' + encodeURIComponent(e.key));
  });
  send('tumbla://app.prismora/keys-ready');"""

BUTTON = ["push button", "button"]


class LoginPage(http.server.ThreadingHTTPServer):
    """A login page that stays up until the player leaves it."""

    def __init__(self):
        super().__init__(("127.0.0.1", 0), LoginPageHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def base(self):
        return f"http://127.0.0.1:{self.server_address[1]}/"

    def stop(self):
        self.shutdown()
        self.server_close()


class LoginPageHandler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        page = b"<html><head><title>Log In</title></head><body>Log in here</body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(page)))
        self.end_headers()
        self.wfile.write(page)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True,
                          timeout=60).stdout


def extents(accessible, timeout=60.0):
    """Where the control lies on the screen once it stays there (a dialog bounces in)."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        now = tuple(accessible.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))
        if now == last:
            return now
        last = now
        time.sleep(0.5)
    raise AssertionError(f"{accessible.name} never came to rest")


def centre(accessible):
    x, y, width, height = extents(accessible)
    return x + width // 2, y + height // 2


def click_at(x, y):
    xdotool("mousemove", "--sync", str(x), str(y), "click", "1")


def gone(accessible_of, timeout=60.0):
    """Waits until `accessible_of()` no longer finds a control showing."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        try:
            accessible_of(0.5)
        except AssertionError:
            return True
    return False


class NativeControls(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # A window manager gives the focus to the window shown or clicked, as a desktop does.
        cls.window_manager = subprocess.Popen(["openbox", "--sm-disable"],
                                              stdout=subprocess.DEVNULL,
                                              stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 60
        while "window id" not in subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                                                capture_output=True, text=True).stdout:
            if time.monotonic() > deadline or cls.window_manager.poll() is not None:
                raise AssertionError("the window manager did not start")
            time.sleep(0.2)

    @classmethod
    def tearDownClass(cls):
        cls.window_manager.terminate()
        cls.window_manager.wait(60)

    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tumbla-controls-")
        self.root = Path(self.tmp.name)
        self.data = self.root / "data"
        self.data.mkdir()
        self.run_ = None
        self.login = LoginPage()

    def tearDown(self):
        if self.run_ and self.run_.process.poll() is None:
            self.run_.process.kill()
            self.run_.process.wait()
        self.login.stop()
        self.tmp.cleanup()

    def start(self):
        bundle = make_bundle(self.root, extra=RECORD_KEYS, info={
            "HTML": "index", "CFBundleName": "Fizzpaw", "TumblaFacebookAppID": "4242",
            "TumblaFacebookLoginURL": self.login.base(),
            "TumblaFacebookGraphURL": self.login.base() + "graph/",
            "TumblaUpgradeURL": "http://store.example/fizzpaw"})
        for image in ["share.png", "facebook.png", "3242.png", "shexiangtou.png"]:
            shutil.copy(RESOURCES / image, bundle / image)
        shutil.copytree(RESOURCES / "FBDialog.bundle", bundle / "FBDialog.bundle")
        self.run_ = Run(bundle, self.data)
        self.run_.wait_for(lambda r: any("keys-ready" in n["url"] for n in r.navigations()),
                           what="the page")
        # The upgrade is offered at the start; while its alert is up the game's window takes
        # no input, and Escape answers it as its No,Thanks: nothing opens.
        find(BUTTON, "Buy Now")
        xdotool("key", "Escape")
        self.assertTrue(gone(lambda timeout: find(BUTTON, "Buy Now", timeout=timeout)))
        self.assertEqual(self.run_.opened(), [])

    def page_keys(self):
        keys = [n["url"] for n in self.run_.navigations() if "/key?k=" in n["url"]]
        return [urllib.parse.unquote(url.split("k=", 1)[1]) for url in keys]

    def type_to_page(self, key, expected):
        """A key in play: it reaches the page."""
        xdotool("key", key)
        self.run_.wait_for(lambda r: self.page_keys()[-1:] == [expected],
                           what=f"the page getting {key}")

    def open_share_panel(self):
        """The camera clicked, then Yes on its alert, each with the pointer."""
        click_at(*centre(find(BUTTON, "Snapshot")))
        click_at(*centre(find(BUTTON, "Yes")))
        return find(BUTTON, "Cancel")

    def panel_is_gone(self):
        return gone(lambda timeout: find(BUTTON, "Cancel", timeout=timeout))

    def test_the_share_panel_holds_the_keyboard_and_closes_with_escape_keys_and_clicks(self):
        self.start()
        self.type_to_page("x", "x")
        seen = len(self.page_keys())

        # Escape on the camera's alert answers it as its No: no panel comes.
        click_at(*centre(find(BUTTON, "Snapshot")))
        find(BUTTON, "Yes")
        xdotool("key", "Escape")
        self.assertTrue(gone(lambda timeout: find(BUTTON, "Yes", timeout=timeout)))
        self.assertTrue(self.panel_is_gone())

        # With the panel up, keys move round it and never reach the page: the first takes
        # the keyboard to the message, Tab goes on to Share on Facebook, Tab to Cancel, and
        # Return presses it.
        self.open_share_panel()
        xdotool("key", "Left", "space", "Tab", "Tab", "Return")
        self.assertTrue(self.panel_is_gone())

        # Escape closes it as its Cancel does.
        self.open_share_panel()
        xdotool("key", "Down", "Escape")
        self.assertTrue(self.panel_is_gone())

        # A click on Cancel's title, which lies over its image, presses it; so does one near
        # its corner.
        cancel = self.open_share_panel()
        click_at(*centre(cancel))
        self.assertTrue(self.panel_is_gone())
        cancel = self.open_share_panel()
        x, y, width, height = extents(cancel)
        click_at(x + 3, y + height - 3)
        self.assertTrue(self.panel_is_gone())

        # Through the accessibility tree as well.
        press(self.open_share_panel())
        self.assertTrue(self.panel_is_gone())

        self.assertEqual(self.page_keys()[seen:], [])
        # And the keyboard is the page's again.
        self.type_to_page("y", "y")
        self.assertEqual(self.page_keys()[seen:], ["y"])
        self.assertEqual(self.run_.opened(), [])
        self.assertEqual(self.run_.terminate(), 0)

    def test_the_login_dialog_closes_with_escape_and_a_click_on_its_close_box(self):
        self.start()
        self.type_to_page("x", "x")
        seen = len(self.page_keys())

        # Reached from the keyboard: Tab to the message, Tab to Share on Facebook, Space.
        self.open_share_panel()
        xdotool("key", "Tab", "Tab", "space")
        find(BUTTON, "Close")
        xdotool("key", "Escape")
        self.assertTrue(gone(lambda timeout: find(BUTTON, "Close", timeout=timeout)))
        # Only the dialog went: the share panel under it stays, and goes with its own Escape.
        find(BUTTON, "Cancel")
        xdotool("key", "Escape")
        self.assertTrue(self.panel_is_gone())

        # The close box clicked with the pointer, inside its own square at the title bar's end.
        click_at(*centre(find(BUTTON, "Snapshot")))
        click_at(*centre(find(BUTTON, "Yes")))
        click_at(*centre(find(BUTTON, "Share on Facebook")))
        close = find(BUTTON, "Close")
        x, y, width, height = extents(close)
        self.assertGreater(width, 0)
        self.assertEqual(width, height)
        click_at(x + width // 2, y + height // 2)
        self.assertTrue(gone(lambda timeout: find(BUTTON, "Close", timeout=timeout)))
        find(BUTTON, "Cancel")
        press(find(BUTTON, "Cancel"))
        self.assertTrue(self.panel_is_gone())

        self.assertEqual(self.page_keys()[seen:], [])
        self.type_to_page("y", "y")
        self.assertEqual(self.run_.terminate(), 0)


if __name__ == "__main__":
    tumbla_e2e.run_suite()
