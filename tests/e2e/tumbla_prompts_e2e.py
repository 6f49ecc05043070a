#!/usr/bin/python3
"""End-to-end tests of the prompts: the real tumbla, the real web engine, loopback servers.

Run under a display and a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    tumbla_prompts_e2e.py --binary build/app/tumbla [unittest options]
"""

import datetime
import http.server
import tempfile
import json
import plistlib
import sys
import threading
import time
import unittest
import urllib.parse
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import tumbla_e2e  # noqa: E402  (the shared helpers: bundles, runs, traces)

INJECTION = '"); alert(1); ("'

# Every show operation reports its arguments back as a command, then answers as a
# player would; alert() reports itself, so that running injected script is seen.
PROMPT_PAGE_EXTRA = r"""
  window.alert = function () { send('tumbla://app.prismora/alerted'); };
  function report(name, args) {
    send('tumbla://app.prismora/shown?name=' + name + '&args=' +
         encodeURIComponent(JSON.stringify(Array.prototype.slice.call(args))));
  }
  Tumbla.showCurrentVersion = function () {
    report('showCurrentVersion', arguments);
    send('tumbla://iVersion.prismora/viewedLocal');
  };
  Tumbla.showNewVersion = function (version) {
    report('showNewVersion', arguments);
    send('tumbla://iVersion.prismora/ignore?version=' + encodeURIComponent('1.25'));
  };
  Tumbla.showNotification = function (key) {
    report('showNotification', arguments);
    send('tumbla://iNotify.prismora/ignore?key=' + encodeURIComponent(key));
  };
  Tumbla.showRatingPrompt = function () {
    report('showRatingPrompt', arguments);
    send('tumbla://iRate.prismora/decline');
  };
"""


class ListServer:
    """A loopback HTTP server answering paths from a table (their queries aside), each
    answer after `delay` seconds."""

    def __init__(self, routes, delay=0):
        table = routes

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                time.sleep(delay)
                body = table.get(self.path.split("?")[0])
                if body is None:
                    self.send_response(404)
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)
        self.thread.start()

    def url(self, path):
        return f"http://127.0.0.1:{self.server.server_address[1]}{path}"

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


class Prompts(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tumbla-prompts-e2e-")
        self.root = Path(self.tmp.name)
        self.data = self.root / "data"
        self.data.mkdir()
        self.runs = []
        self.servers = []

    def tearDown(self):
        for run in self.runs:
            if run.process.poll() is None:
                run.process.kill()
                run.process.wait()
        for server in self.servers:
            server.stop()
        self.tmp.cleanup()

    def start(self, bundle):
        run = tumbla_e2e.Run(bundle, self.data)
        self.runs.append(run)
        return run

    def serve(self, routes):
        server = ListServer(routes)
        self.servers.append(server)
        return server

    def bundle_with(self, info, extra=""):
        bundle = tumbla_e2e.make_bundle(self.root, extra=extra, info=info)
        return bundle

    def test_prompts_reach_the_page_as_exact_text_and_answers_are_recorded(self):
        notes = 'Faster\nNew "levels" \\ </script><script>alert(2)</script>'
        server = self.serve({
            "/versions.plist": plistlib.dumps({"1.0": ["old"], "1.25": notes.split("\n")}),
            "/notices.plist": plistlib.dumps({"k1": {
                "Title": INJECTION, "Message": "line one\nline two", "ActionURL": "javascript:x()"}}),
            "/probe": b"up",
        })
        info = {
            "HTML": "index", "CFBundleName": "Tumbla", "CFBundleVersion": "1.2",
            "TumblaLocalVersionsPath": "versions.plist",
            "TumblaRemoteVersionsURL": server.url("/versions.plist"),
            "TumblaNotificationsURL": server.url("/notices.plist"),
            "TumblaProbeURL": server.url("/probe"),
        }
        bundle = self.bundle_with(info, extra=PROMPT_PAGE_EXTRA)
        with open(bundle / "versions.plist", "wb") as f:
            plistlib.dump({"1.1": ["Local \"note\"", INJECTION], "1.2": ["Now"]}, f)
        # Not the first launch ever, and a rating long due.
        with open(self.data / "preferences.plist", "wb") as f:
            plistlib.dump({
                "iNotifyIgnoredNotifications": [],
                "iRateLastVersionUsed": "1.2", "iRateUseCount": 50,
                "iRateFirstUsed": datetime.datetime.now() - datetime.timedelta(days=30)}, f)

        run = self.start(bundle)

        def shown(r):
            found = {}
            for n in r.navigations():
                url = urllib.parse.urlsplit(n["url"])
                if url.path == "/shown":
                    query = dict(urllib.parse.parse_qsl(url.query))
                    found[query["name"]] = json.loads(query["args"])
            return found

        names = {"showCurrentVersion", "showNewVersion", "showNotification", "showRatingPrompt"}
        run.wait_for(lambda r: names <= set(shown(r)), timeout=120,
                     what=f"the four prompts ({run.stderr()})")
        calls = shown(run)
        self.assertEqual(calls["showCurrentVersion"],
                         ["1.0.2", f'Now\n\nLocal "note"\n\n{INJECTION}'])
        self.assertEqual(calls["showNewVersion"], ["1.2.5", notes.replace("\n", "\n\n")])
        self.assertEqual(calls["showNotification"],
                         ["k1", INJECTION, "line one\nline two", "javascript:x()", "More..."])
        self.assertEqual(calls["showRatingPrompt"], [])
        self.assertFalse(any("alerted" in n["url"] for n in run.navigations()))

        answers = ["/viewedLocal", "/ignore?version=1.25", "/ignore?key=k1", "/decline"]
        run.wait_for(lambda r: all(any(a in n["url"] for n in r.navigations()) for a in answers),
                     what="the page's answers")
        self.assertEqual(run.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            stored = plistlib.load(f)
        self.assertEqual(stored["iVersionLastVersionChecked"], "1.2")
        self.assertEqual(stored["iVersionIgnoreVersion"], "1.25")
        self.assertEqual(stored["iNotifyIgnoredNotifications"], ["k1"])
        self.assertEqual(stored["iRateDeclinedVersion"], "1.2")
        self.assertIn("iVersionLastChecked", stored)
        self.assertEqual(run.opened(), [])

    def test_the_upgrade_offer_is_answered_through_the_accessibility_tree(self):
        info = {"HTML": "index", "TumblaUpgradeURL": "https://store.test/upgrade"}
        run = self.start(self.bundle_with(info))
        run.wait_started()
        button = find_accessible(run.process.pid, "push button", "Buy Now", timeout=90)
        self.assertIsNotNone(button, "no Buy Now button in the accessibility tree")
        dialog = button
        while dialog is not None and dialog.getRoleName() not in ("alert", "dialog"):
            dialog = dialog.parent
        self.assertIsNotNone(dialog)
        self.assertEqual(dialog.name, "Upgrade to get more awesome features!")
        button.queryAction().doAction(0)
        run.wait_for(lambda r: r.opened(), what="the upgrade page opened")
        self.assertEqual(run.opened(), ["https://store.test/upgrade"])
        self.assertEqual(run.terminate(), 0)


def parent_of(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return int(f.read().rsplit(")", 1)[1].split()[1])
    except (OSError, ValueError, IndexError):
        return None


def find_accessible(pid, role, name, timeout):
    """The first accessible of `role` named `name` in the application of process `pid` (or
    of the game process it started)."""
    import pyatspi

    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for index in range(desktop.childCount):
            app = desktop.getChildAtIndex(index)
            try:
                app_pid = app.get_process_id() if app is not None else None
                if app_pid is None or (app_pid != pid and parent_of(app_pid) != pid):
                    continue
            except Exception:
                continue
            found = pyatspi.findDescendant(
                app, lambda a: a.getRoleName() == role and a.name == name, True)
            if found is not None:
                return found
        time.sleep(0.5)
    return None


if __name__ == "__main__":
    tumbla_e2e.run_suite()
