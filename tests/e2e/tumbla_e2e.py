#!/usr/bin/env python3
"""End-to-end tests: the real tumbla binary, the real web engine, a fresh data directory.

Run under a display (tests/support/run-under-xvfb.sh starts one):
    tumbla_e2e.py --binary build/app/tumbla [unittest options]
"""

import argparse
import json
import os
import plistlib
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

BINARY = None

DEFAULTS = {
    "pauseButton": 1,
    "soundEnabled": True,
    "musicEnabled": True,
    "resetScores": False,
    "theme": 0,
    "shakeToUndo": True,
}

# A page with the interface the host calls. `extra` is script run at the end of init.
PAGE = """<!DOCTYPE html><html><body><script>
function send(url) {
  const f = document.createElement('iframe');
  f.style.display = 'none';
  f.src = url;
  document.body.appendChild(f);
  f.remove();
}
window.gameState = %(state)s;
window.Tumbla = {
  CONSTANTS: { DEBUG_MODE: true },
  init: function () { window.started = 'fresh'; %(extra)s },
  initWithGameState: function (s) { window.started = s; %(extra)s },
  saveGameState: function () { %(save)s },
  pause: function () {}, resume: function () {}, undo: function () {},
  setPauseCorner: function () {}, setSoundEnabled: function () {}, setMusicEnabled: function () {},
  setTheme: function () {}, setShakeToUndo: function () {}, resetScores: function () {}
};
</script></body></html>
"""


def make_bundle(root, extra="", save="return JSON.stringify(window.gameState);",
                state='{"level": 4}', info=None, page=True):
    bundle = Path(root) / "bundle"
    bundle.mkdir(parents=True, exist_ok=True)
    with open(bundle / "Info.plist", "wb") as f:
        plistlib.dump(info if info is not None else {"HTML": "index"}, f)
    with open(bundle / "Defaults.plist", "wb") as f:
        plistlib.dump(DEFAULTS, f)
    if page:
        (bundle / "index.html").write_text(PAGE % {"extra": extra, "save": save, "state": state})
    return bundle


class Run:
    """One run of tumbla with a trace file; stops it with SIGTERM."""

    def __init__(self, bundle, data_dir, env=None, args=()):
        self.trace_path = Path(data_dir) / f"trace-{time.monotonic_ns()}.jsonl"
        self.opened_path = Path(data_dir) / "opened.txt"
        environment = dict(os.environ)
        # What would be opened outside is written down instead of starting a browser.
        opener = Path(data_dir) / "open-url.sh"
        opener.write_text(f'#!/bin/sh\necho "$1" >> "{self.opened_path}"\n')
        opener.chmod(0o755)
        environment["TUMBLA_OPEN_URL_COMMAND"] = str(opener)
        environment.update(env or {})
        self.stderr_path = Path(data_dir) / f"stderr-{time.monotonic_ns()}.txt"
        with open(self.stderr_path, "w") as stderr:
            self.process = subprocess.Popen(
                [BINARY, "--bundle", str(bundle), "--data-dir", str(data_dir),
                 "--trace", str(self.trace_path), *args],
                env=environment, stdout=subprocess.DEVNULL, stderr=stderr)

    def events(self):
        if not self.trace_path.exists():
            return []
        lines = self.trace_path.read_text().splitlines()
        return [json.loads(line) for line in lines if line.strip()]

    def scripts(self):
        return [e["script"] for e in self.events() if e["event"] == "script"]

    def navigations(self):
        return [e for e in self.events() if e["event"] == "navigation"]

    # Generous limits: a loaded machine can take many seconds to start the web engine.
    def wait_for(self, condition, timeout=60.0, what="condition"):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition(self):
                return
            if self.process.poll() is not None:
                raise AssertionError(f"tumbla ended early waiting for {what}: {self.stderr()}")
            time.sleep(0.05)
        raise AssertionError(f"timed out waiting for {what}; trace: {self.events()[-10:]}")

    def wait_started(self):
        self.wait_for(lambda r: "Tumbla.setShakeToUndo(1)" in r.scripts()
                      or "Tumbla.setShakeToUndo(0)" in r.scripts(), what="start-up")

    def terminate(self, timeout=60.0):
        self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout)
        finally:
            if self.process.poll() is None:
                self.process.kill()
                self.process.wait()

    def stderr(self):
        return self.stderr_path.read_text()

    def opened(self):
        if not self.opened_path.exists():
            return []
        return self.opened_path.read_text().splitlines()


class EndToEnd(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="tumbla-e2e-")
        self.root = Path(self.tmp.name)
        self.data = self.root / "data"
        self.data.mkdir()
        self.runs = []

    def tearDown(self):
        for run in self.runs:
            if run.process.poll() is None:
                run.process.kill()
                run.process.wait()
        self.tmp.cleanup()

    def start(self, bundle, **kwargs):
        run = Run(bundle, self.data, **kwargs)
        self.runs.append(run)
        return run

    def test_page_start_order(self):
        run = self.start(make_bundle(self.root))
        run.wait_started()
        scripts = run.scripts()
        start = scripts.index("Tumbla.CONSTANTS.DEBUG_MODE=false")
        self.assertEqual(scripts[start:start + 7], [
            "Tumbla.CONSTANTS.DEBUG_MODE=false", "Tumbla.init()", "Tumbla.setPauseCorner(1)",
            "Tumbla.setSoundEnabled(1)", "Tumbla.setMusicEnabled(1)", "Tumbla.setTheme(0)",
            "Tumbla.setShakeToUndo(1)"])
        page_loads = [n for n in run.navigations() if n["url"].startswith("file://")]
        self.assertEqual([n["handled"] for n in page_loads], [False])
        self.assertEqual(run.terminate(), 0)

    def test_commands_are_refused_and_links_opened_outside(self):
        extra = """
          send('tumbla://app.prismora/first');
          setTimeout(function () { window.location = 'http://example.com/help?a=1'; }, 100);
          setTimeout(function () {
            send('tumbla://app.prismora/still-here?page=' + encodeURIComponent(location.protocol));
          }, 800);"""
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_for(lambda r: any("still-here" in n["url"] for n in r.navigations()),
                     what="the page's last command")
        by_url = {n["url"]: n for n in run.navigations()}
        self.assertTrue(by_url["tumbla://app.prismora/first"]["handled"])
        self.assertTrue(by_url["http://example.com/help?a=1"]["handled"])
        # The page is still the bundle's own: the link never replaced it.
        self.assertIn("tumbla://app.prismora/still-here?page=file%3A", by_url)
        run.wait_for(lambda r: r.opened(), what="the link opened outside")
        self.assertEqual(run.opened(), ["http://example.com/help?a=1"])
        opened = [e for e in run.events() if e["event"] == "open-outside"]
        self.assertEqual([e["url"] for e in opened], ["http://example.com/help?a=1"])
        self.assertEqual(run.terminate(), 0)

    def test_a_tight_burst_of_commands_arrives_whole_and_in_order(self):
        extra = "for (let i = 0; i < 2000; i++) send('tumbla://app.prismora/n?i=' + i);"
        run = self.start(make_bundle(self.root, extra=extra))
        commands = lambda r: [n["url"] for n in r.navigations() if "/n?i=" in n["url"]]
        run.wait_for(lambda r: len(commands(r)) >= 2000, timeout=120, what="2,000 commands")
        self.assertEqual(commands(run), [f"tumbla://app.prismora/n?i={i}" for i in range(2000)])
        self.assertEqual(run.terminate(), 0)

    def test_saved_game_comes_back_after_sigterm(self):
        bundle = make_bundle(self.root, state='{"level": 7, "note": "caf\\u00e9"}')
        first = self.start(bundle)
        first.wait_started()
        self.assertEqual(first.terminate(), 0)
        saved = (self.data / "Documents" / "gamestate.json").read_text(encoding="utf-8")
        self.assertEqual(json.loads(saved), {"level": 7, "note": "caf\u00e9"})

        second = self.start(bundle)
        second.wait_started()
        self.assertIn(f"Tumbla.initWithGameState({saved})", second.scripts())
        second.terminate()

    def test_empty_save_keeps_the_earlier_game(self):
        documents = self.data / "Documents"
        documents.mkdir()
        (documents / "gamestate.json").write_text('{"kept": true}')
        run = self.start(make_bundle(self.root, save="return '';"))
        run.wait_started()
        self.assertIn('Tumbla.initWithGameState({"kept": true})', run.scripts())
        self.assertEqual(run.terminate(), 0)
        self.assertEqual((documents / "gamestate.json").read_text(), '{"kept": true}')

    def test_settings_from_the_page_are_pushed_again_after_a_restart(self):
        extra = "send('tumbla://settings.prismora/update?theme=2&pauseButton=3&soundEnabled=0');"
        first = self.start(make_bundle(self.root, extra=extra))
        first.wait_for(lambda r: any("settings.prismora" in n["url"] for n in r.navigations()),
                       what="the settings command")
        self.assertEqual(first.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            stored = plistlib.load(f)
        self.assertEqual((stored["theme"], stored["pauseButton"]), (2, 3))
        self.assertIs(stored["soundEnabled"], True)
        self.assertIs(stored["shakeToUndo"], False)

        second = self.start(make_bundle(self.root))
        second.wait_started()
        scripts = second.scripts()
        for pushed in ["Tumbla.setPauseCorner(3)", "Tumbla.setSoundEnabled(1)",
                       "Tumbla.setMusicEnabled(0)", "Tumbla.setTheme(2)",
                       "Tumbla.setShakeToUndo(0)"]:
            self.assertIn(pushed, scripts)
        second.terminate()

    def test_a_page_that_hangs_on_save_does_not_hang_the_host(self):
        run = self.start(make_bundle(self.root, save="while (true) {}"),
                         env={"TUMBLA_SCRIPT_TIMEOUT_MS": "1500"})
        run.wait_started()
        started = time.monotonic()
        self.assertEqual(run.terminate(timeout=30), 0)
        self.assertLess(time.monotonic() - started, 20)
        self.assertFalse((self.data / "Documents" / "gamestate.json").exists())
        save = [e for e in run.events() if e.get("script") == "Tumbla.saveGameState()"]
        self.assertEqual([e["answered"] for e in save], [False])

    def test_corrupt_preferences_are_kept_aside_and_defaults_used(self):
        (self.data / "preferences.plist").write_text("<plist><dict><key>theme</key>")
        run = self.start(make_bundle(self.root))
        run.wait_started()
        self.assertIn("Tumbla.setPauseCorner(1)", run.scripts())
        aside = [p.name for p in self.data.iterdir() if p.name.startswith("preferences.plist.")]
        self.assertEqual(len(aside), 1, aside)
        self.assertEqual((self.data / aside[0]).read_text(), "<plist><dict><key>theme</key>")
        self.assertEqual(run.terminate(), 0)

    def test_saved_game_that_is_not_utf8_starts_a_new_game(self):
        documents = self.data / "Documents"
        documents.mkdir()
        (documents / "gamestate.json").write_bytes(b'{"name": "\xff"}')
        run = self.start(make_bundle(self.root))
        run.wait_started()
        self.assertIn("Tumbla.init()", run.scripts())
        kept = [p for p in documents.iterdir() if p.name.startswith("gamestate.json.invalid")]
        self.assertEqual(len(kept), 1)
        self.assertEqual(kept[0].read_bytes(), b'{"name": "\xff"}')
        logs = [e["message"] for e in run.events() if e["event"] == "log"]
        self.assertTrue(any("not UTF-8" in m for m in logs), logs)
        run.terminate()

    def logs(self, run):
        return [e["message"] for e in run.events() if e["event"] == "log"]

    def test_command_hosts_over_http_https_and_a_scheme_of_the_pages_own(self):
        hosts = ["gameCenter", "settings", "audio", "undo", "app", "iVersion", "iNotify", "iRate"]
        sends = [f"send('{scheme}://{host}.prismora/probe?n={i}');"
                 for i, (scheme, host) in enumerate(
                     (scheme, host) for scheme in ("http", "https", "tumbla") for host in hosts)]
        # The engine keeps the case of a custom scheme's host: this one is a link.
        sends.append("send('tumbla://Audio.prismora/probe?n=last');")
        # A switch named without a value is on.
        sends.append("send('http://settings.prismora/update?theme=3&shakeToUndo');")
        run = self.start(make_bundle(self.root, extra="".join(sends)))
        run.wait_for(lambda r: any("theme=3" in n["url"] for n in r.navigations()),
                     what="the last command")
        probes = [n for n in run.navigations() if "/probe?" in n["url"]]
        self.assertEqual(len(probes), 25, probes)
        self.assertTrue(all(n["handled"] for n in probes))
        run.wait_for(lambda r: r.opened(), what="the one link opened outside")
        self.assertEqual(run.opened(), ["tumbla://Audio.prismora/probe?n=last"])
        self.assertEqual(run.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            stored = plistlib.load(f)
        self.assertEqual((stored["theme"], stored["shakeToUndo"]), (3, True))
        # gameCenter.prismora/probe is no known path: nothing stored for it.
        self.assertNotIn("gameCenter", stored)

    def test_a_new_window_without_a_host_never_replaces_the_game(self):
        extra = """
          window.open('about:blank');
          window.open('data:text/html,<b>gone</b>');
          setTimeout(function () { send('tumbla://app.prismora/still-here'); }, 800);"""
        run = self.start(make_bundle(self.root, extra=extra, state='{"level": 9}'))
        run.wait_for(lambda r: any("still-here" in n["url"] for n in r.navigations()),
                     what="the page after its new windows")
        refused = [m for m in self.logs(run) if m.startswith("refused to open")]
        self.assertEqual(len(refused), 2, refused)
        self.assertEqual(run.opened(), [])
        self.assertEqual(run.terminate(), 0)
        # The game page was still there to answer the save at the end.
        saved = (self.data / "Documents" / "gamestate.json").read_text()
        self.assertEqual(json.loads(saved), {"level": 9})

    def test_a_page_opening_links_in_a_loop_opens_about_one_a_second(self):
        extra = """
          let n = 0;
          const flood = setInterval(function () {
            send('http://example.com/ad?n=' + (n++));
            if (n === 200) { clearInterval(flood); send('tumbla://app.prismora/done'); }
          }, 10);"""
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_for(lambda r: any("/done" in n["url"] for n in r.navigations()),
                     timeout=120, what="the end of the flood")
        seconds = (run.events()[-1]["time"] - run.events()[0]["time"]) / 1000
        opened = [e for e in run.events() if e["event"] == "open-outside"]
        self.assertGreaterEqual(len(opened), 1)
        self.assertLessEqual(len(opened), seconds + 2, (len(opened), seconds))
        dropped = [m for m in self.logs(run) if m.startswith("dropped an opening")]
        self.assertEqual(len(opened) + len(dropped), 200)
        self.assertEqual(run.terminate(), 0)

    def test_unreadable_things_in_place_of_data_files_do_not_stop_the_game(self):
        documents = self.data / "Documents"
        (documents / "gamestate.json").mkdir(parents=True)
        (self.data / "preferences.plist").mkdir()
        os.mkfifo(documents / "yongHu31.plist")
        # What saves killed mid-write leave behind, and a file of the player's own.
        (documents / ".gamestate.json.tumbla-save-AbC123").write_text("x" * 4096)
        (self.data / ".preferences.plist.tumbla-save-dEf456").write_text("half")
        (documents / "notes.txt").write_text("mine")
        run = self.start(make_bundle(self.root))
        run.wait_started()
        self.assertIn("Tumbla.init()", run.scripts())
        self.assertEqual(run.terminate(), 0)
        stderr = run.stderr()
        # One line each on reading; the saves at the end say for themselves that they failed.
        reading = [line for line in stderr.splitlines()
                   if not line.startswith(("tumbla: could not save", "tumbla: could not write"))]
        for name in ("gamestate.json", "preferences.plist", "yongHu31.plist"):
            self.assertEqual(sum(f"/{name} " in line for line in reading), 1, (name, stderr))
        self.assertTrue((documents / "gamestate.json").is_dir())
        self.assertTrue((self.data / "preferences.plist").is_dir())
        self.assertEqual(sorted(p.name for p in documents.iterdir()),
                         ["facebook2.plist", "gamestate.json", "notes.txt", "yongHu31.plist"])
        self.assertFalse((self.data / ".preferences.plist.tumbla-save-dEf456").exists())

    def test_killing_the_host_during_saves_never_leaves_a_part_or_a_leftover(self):
        # A 4 MB state, so that the kill lands while it is being written.
        state = '{"board": "' + "x" * 4_000_000 + '", "n": 1}'
        bundle = make_bundle(self.root, state=state)
        documents = self.data / "Documents"
        for attempt in range(4):
            run = self.start(bundle)
            run.wait_started()
            run.process.send_signal(signal.SIGTERM)
            time.sleep(0.02 * attempt)
            run.process.kill()
            run.process.wait()
            saved = documents / "gamestate.json"
            if saved.exists():
                self.assertEqual(json.loads(saved.read_text())["n"], 1)
        # The next start clears what the killed saves left, and saves whole.
        run = self.start(bundle)
        run.wait_started()
        self.assertEqual(run.terminate(), 0)
        self.assertEqual(json.loads((documents / "gamestate.json").read_text())["n"], 1)
        self.assertEqual(sorted(p.name for p in documents.iterdir()),
                         ["facebook2.plist", "gamestate.json", "yongHu31.plist"])

    def test_real_settings_read_the_same_under_the_players_locale(self):
        # Written by hand or another tool: a real where a switch or number is expected.
        with open(self.data / "preferences.plist", "wb") as f:
            plistlib.dump({"soundEnabled": 0.5, "theme": 2.75, "pauseButton": 3}, f)
        run = self.start(make_bundle(self.root))
        run.wait_started()
        scripts = run.scripts()
        self.assertIn("Tumbla.setSoundEnabled(1)", scripts)
        self.assertIn("Tumbla.setTheme(2)", scripts)
        self.assertEqual(run.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            self.assertEqual(plistlib.load(f)["soundEnabled"], 0.5)


class BadInput(unittest.TestCase):
    def run_tumbla(self, *args):
        return subprocess.run([BINARY, *args], capture_output=True, text=True, timeout=60)

    def test_missing_page_or_key_is_a_clear_error(self):
        with tempfile.TemporaryDirectory() as tmp:
            cases = [
                (make_bundle(Path(tmp) / "a", info={}), "HTML key"),
                (make_bundle(Path(tmp) / "b", page=False), "index.html"),
                (Path(tmp) / "missing", "missing"),
            ]
            for bundle, words in cases:
                result = self.run_tumbla("--bundle", str(bundle), "--data-dir", tmp)
                self.assertEqual(result.returncode, 2, result.stderr)
                lines = result.stderr.strip().splitlines()
                self.assertEqual(len(lines), 1, lines)
                self.assertIn(words, lines[0])

    def test_command_line(self):
        self.assertEqual(self.run_tumbla("--version").stdout.split()[0], "tumbla")
        self.assertIn("--data-dir", self.run_tumbla("--help").stdout)
        for bad in (["--device", "android"], ["--nope"], ["--trace"]):
            result = self.run_tumbla(*bad)
            self.assertEqual(result.returncode, 2, bad)
            self.assertIn("Usage:", result.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    options, rest = parser.parse_known_args()
    BINARY = options.binary
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)
