#!/usr/bin/env python3
"""End-to-end tests: the real tumbla binary, the real web engine, a fresh data directory.

Run under a display (tests/support/run-under-xvfb.sh starts one):
    tumbla_e2e.py --binary build/app/tumbla [unittest options]
"""

import argparse
import collections
import json
import os
import plistlib
import shutil
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


def mapped_files(pid):
    """The files mapped into process `pid`: its program and libraries, among others."""
    fields = (line.split(maxsplit=5) for line in Path(f"/proc/{pid}/maps").read_text().splitlines())
    return {f[5] for f in fields if len(f) == 6}


def child_pids(pid):
    children = Path(f"/proc/{pid}/task/{pid}/children")
    return [int(c) for c in children.read_text().split()] if children.exists() else []


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
            # A process group of its own, as a terminal gives a command, so that tests can
            # signal the whole group as Ctrl+C does.
            self.process = subprocess.Popen(
                [BINARY, "--bundle", str(bundle), "--data-dir", str(data_dir),
                 "--trace", str(self.trace_path), *args],
                env=environment, stdout=subprocess.DEVNULL, stderr=stderr,
                start_new_session=True)

    def events(self):
        if not self.trace_path.exists():
            return []
        # The last line may be one the host is still writing; only whole lines count.
        lines = self.trace_path.read_text().split("\n")[:-1]
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
        raise AssertionError(f"timed out waiting for {what}; trace: {self.events()[-10:]}\n"
                             f"{self.stacks()}")

    def stacks(self):
        """Where each thread of the game process and its web engine stands, for a report."""
        family = [self.process.pid]
        for pid in family:
            family += child_pids(pid)
        report = []
        for pid in family:
            try:
                name = Path(f"/proc/{pid}/cmdline").read_text().replace("\0", " ")[:100]
                stacks = subprocess.run(["gdb", "-p", str(pid), "-batch", "-nx",
                                         "-ex", "thread apply all bt 25"],
                                        capture_output=True, text=True, timeout=120).stdout
            except (OSError, subprocess.SubprocessError) as error:
                name, stacks = str(pid), f"no stacks: {error}"
            threads = [line for line in stacks.splitlines() if line.startswith(("Thread", "#"))]
            report.append(f"--- {pid} {name}\n" + "\n".join(threads))
        return "\n".join(report)

    def wait_started(self):
        self.wait_for(lambda r: "Tumbla.setShakeToUndo(1)" in r.scripts()
                      or "Tumbla.setShakeToUndo(0)" in r.scripts(), what="start-up")

    def lifecycle(self):
        return [e["name"] for e in self.events() if e["event"] == "lifecycle"]

    def terminate(self, timeout=60.0, sig=signal.SIGTERM, group=False):
        if group:
            os.killpg(self.process.pid, sig)
        else:
            self.process.send_signal(sig)
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

    def test_a_machine_without_a_sound_card_gets_one_line_about_it(self):
        # SDL probes ALSA, whose library would print its own lines before the game's. A
        # recording starts the mixer with the game.
        run = self.start(make_bundle(self.root), env={"SDL_AUDIODRIVER": "alsa"},
                         args=("--audio-record", str(self.root / "sound.wav")))
        run.wait_started()
        self.assertEqual(run.terminate(), 0)
        stderr = run.stderr()
        self.assertNotIn("ALSA lib", stderr)
        self.assertEqual(sum("no audio device" in line for line in stderr.splitlines()), 1, stderr)

    def test_a_stop_request_while_the_game_starts_ends_it_cleanly(self):
        documents = self.data / "Documents"
        documents.mkdir()
        (documents / "gamestate.json").write_text('{"kept": true}')
        bundle = make_bundle(self.root)
        # As soon as the game process is there (its trace file is its first act), by Ctrl+C to
        # the whole group or SIGTERM to tumbla, and once its start-up is under way.
        for sig, group, when in [(signal.SIGINT, True, "there"), (signal.SIGTERM, False, "there"),
                                 (signal.SIGTERM, False, "under way")]:
            run = self.start(bundle)
            if when == "there":
                run.wait_for(lambda r: r.trace_path.exists(), what="the game process")
            else:
                run.wait_for(lambda r: r.events(), what="the start-up's first event")
            status = run.terminate(sig=sig, group=group)
            self.assertIn(status, (0, 1), (sig, group, when, run.stderr()))
            self.assertEqual(json.loads((documents / "gamestate.json").read_text()), {"kept": True})

    def test_trace_says_why_a_script_failed(self):
        bundle = make_bundle(self.root, save="throw new RangeError('no board yet');")
        run = self.start(bundle)
        run.wait_started()
        self.assertEqual(run.terminate(), 1)
        save = [e for e in run.events() if e.get("script") == "Tumbla.saveGameState()"]
        self.assertTrue(save)
        for event in save:
            self.assertFalse(event["answered"])
            self.assertIn("RangeError: no board yet", event["error"])
            # The page's line where it was thrown: the save function's line in PAGE.
            self.assertIn("index.html:14:", event["error"])

    def screen_colours(self):
        """The screen's colours: hex -> pixel count."""
        shot = self.root / f"shot-{time.monotonic_ns()}.png"
        # The game's window only: other programs' windows (and the desktop) are not the page.
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tumbla$"],
                                capture_output=True, text=True, timeout=60).stdout.split()
        # What the screen shows where the window is: a grab of the window alone can come
        # back empty while the server is busy.
        crop = []
        if window:
            shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window[0]],
                                   capture_output=True, text=True, timeout=60).stdout
            geometry = dict(line.split("=", 1) for line in shell.split() if "=" in line)
            if {"X", "Y", "WIDTH", "HEIGHT"} <= geometry.keys():
                crop = ["-crop", "{WIDTH}x{HEIGHT}+{X}+{Y}".format(**geometry), "+repage"]
        subprocess.run(["import", "-window", "root", str(shot)], check=True, timeout=60)
        # Raw pixels, counted here: ImageMagick's histogram writer has been seen to answer
        # nothing at all for a grab of few colours.
        pixels = subprocess.run(["convert", str(shot), *crop, "-depth", "8", "rgb:-"],
                                check=True, capture_output=True, timeout=60).stdout
        counts = collections.Counter(pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3))
        return {"#" + rgb.hex().upper(): count for rgb, count in counts.items()}

    def painted_screen(self, bundle, data, colour):
        """Starts tumbla and answers the screen's colours once the page has started and the
        window shows `colour` whole, or after a generous wait."""
        run = Run(bundle, data)
        self.runs.append(run)
        run.wait_started()
        deadline = time.monotonic() + 30
        while True:
            colours = self.screen_colours()
            if colours.get(colour, 0) == sum(colours.values()) or time.monotonic() > deadline:
                break
            time.sleep(0.5)
        self.assertEqual(run.terminate(), 0)
        return colours

    def test_the_page_paints_the_whole_window_with_or_without_a_launch_image(self):
        green = "#10C010"
        # A page that fills its viewport, as games do.
        extra = ("document.body.style.margin = '0'; const fill = document.createElement('div'); "
                 f"fill.style.cssText = 'width:100vw;height:100vh;background:{green}'; "
                 "document.body.appendChild(fill);")
        shots = {}
        # Without a launch image a start left the window grey more often than not: three
        # starts make a lucky pass unlikely.
        for name, launch_image in [("without-1", False), ("without-2", False),
                                   ("without-3", False), ("with", True)]:
            root = self.root / name
            info = {"HTML": "index"}
            if launch_image:
                info["UILaunchImageFile"] = "Default.png"
            bundle = make_bundle(root, extra=extra, info=info)
            if launch_image:
                subprocess.run(["convert", "-size", "320x480", "xc:#2040A0",
                                str(bundle / "Default.png")], check=True, timeout=60)
            data = root / "data"
            # An activation count that brings neither the upgrade offer nor the share panel,
            # whose windows would cover part of the page.
            (data / "Documents").mkdir(parents=True)
            (data / "Documents" / "yongHu31.plist").write_text("3")
            shots[name] = self.painted_screen(bundle, data, green)
        for name, colours in shots.items():
            # The window, fitted to the screen, is the page's shape: green to its edges.
            self.assertGreater(colours.get(green, 0), 480 * 320, (name, colours))
            self.assertEqual(colours.get(green, 0), sum(colours.values()), (name, colours))
            self.assertEqual(colours, shots["with"], name)

    def test_the_pages_own_drop_down_does_not_pause_the_game_but_another_program_does(self):
        extra = ("const choice = document.createElement('select'); "
                 "choice.style.cssText = 'position:absolute;left:0;top:0;width:200px;height:60px'; "
                 "for (const t of ['one', 'two', 'three']) { const o = document.createElement('option'); "
                 "o.textContent = t; choice.appendChild(o); } document.body.appendChild(choice);")
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_started()
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Tumbla$"],
                                capture_output=True, text=True, timeout=60).stdout.split()[0]
        pauses = lambda r: r.scripts().count("Tumbla.pause(false)")
        visible = lambda: len(subprocess.run(["xdotool", "search", "--onlyvisible", "--name", ""],
                                             capture_output=True, text=True).stdout.split())
        before = visible()
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  capture_output=True, text=True, timeout=60).stdout
        origin = dict(line.split("=") for line in geometry.split())
        # The page may take a moment to take clicks after its start: click until it opens.
        deadline = time.monotonic() + 60
        while visible() <= before and time.monotonic() < deadline:
            # The drop-down's middle, 100x30 on the 480-point-wide page, scaled as the window is.
            scale = int(origin["WIDTH"]) / 480
            subprocess.run(["xdotool", "mousemove", str(round(int(origin["X"]) + 100 * scale)),
                            str(round(int(origin["Y"]) + 30 * scale)), "click", "1"],
                           check=True, timeout=60)
            clicked = time.monotonic()
            while visible() <= before and time.monotonic() < clicked + 3:
                time.sleep(0.1)
        self.assertGreater(visible(), before, "the drop-down did not open")
        time.sleep(1.5)
        self.assertEqual(pauses(run), 0, run.lifecycle())
        subprocess.run(["xdotool", "key", "Escape"], check=True, timeout=60)
        time.sleep(1)
        self.assertEqual(pauses(run), 0, run.lifecycle())

        # Another program taking the focus is leaving the game.
        other = subprocess.Popen(["xmessage", "-name", "other", "another program"])
        try:
            other_window = subprocess.run(["xdotool", "search", "--sync", "--name", "^other$"],
                                          capture_output=True, text=True,
                                          timeout=60).stdout.split()[0]
            subprocess.run(["xdotool", "windowfocus", other_window], check=True, timeout=60)
            run.wait_for(lambda r: pauses(r) == 1, what="the pause")
        finally:
            other.kill()
            other.wait()
        self.assertEqual(run.terminate(), 0)

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

    def test_each_click_opens_its_link_and_a_script_only_one_a_second(self):
        extra = """
          document.body.style.margin = '0';
          for (const [name, left] of [['a', 0], ['b', 280]]) {
            const link = document.createElement('a');
            link.href = 'http://example.com/click-' + name;
            link.style.cssText = 'position:absolute;top:0;width:200px;height:320px;left:' + left + 'px';
            document.body.appendChild(link);
          }
          for (let i = 1; i <= 20; i++) send('http://example.com/script-' + i);
          send('tumbla://app.prismora/links-ready');"""
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_for(lambda r: any("links-ready" in n["url"] for n in r.navigations()),
                     what="the page's links")
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name",
                                 "^Tumbla$"], capture_output=True, text=True,
                                timeout=60).stdout.split()[0]
        geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                                  capture_output=True, text=True, timeout=60).stdout
        shape = dict(line.split("=") for line in geometry.split())
        # The page's 480x320 points fill the window at their aspect ratio, centred.
        width, height = int(shape["WIDTH"]), int(shape["HEIGHT"])
        scale = min(width / 480, height / 320)
        left = int(shape["X"]) + (width - 480 * scale) / 2
        top = int(shape["Y"]) + (height - 320 * scale) / 2
        at = lambda x, y: [str(round(left + x * scale)), str(round(top + y * scale))]
        # A click between the links first, which only takes the focus; then two real clicks
        # in quick succession: each opens its own link at once.
        subprocess.run(["xdotool", "mousemove", *at(240, 200), "click", "1",
                        "mousemove", *at(100, 200), "click", "1",
                        "mousemove", *at(380, 200), "click", "1"],
                       check=True, timeout=60)
        run.wait_for(lambda r: len(r.opened()) >= 3, what="both clicked links")
        self.assertEqual(run.terminate(), 0)
        opened = run.opened()
        self.assertEqual(opened[0], "http://example.com/script-1")
        self.assertEqual(sorted(opened[1:]), ["http://example.com/click-a",
                                              "http://example.com/click-b"])
        refused = [m for m in self.logs(run) if m.startswith("refused to open")]
        self.assertEqual(len(refused), 1, refused)

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

    def test_signals_to_the_process_group_save_as_closing_the_window_does(self):
        # Each run counts itself into the saved game.
        bundle = make_bundle(self.root, state="{}", extra="window.gameState.runs = "
                             "((typeof window.started === 'object' && window.started.runs) || 0) + 1;")
        documents = self.data / "Documents"
        for runs, sig in enumerate([signal.SIGINT, signal.SIGTERM, signal.SIGHUP], start=1):
            with self.subTest(signal=sig.name):
                run = self.start(bundle)
                try:
                    run.wait_started()
                finally:
                    # A run that failed to start must not hold the data directory for the next.
                    if not any(e["event"] == "lifecycle" for e in run.events()):
                        run.process.kill()
                        run.process.wait()
                # The process started only waits and passes signals on: the toolkit and the
                # web engine are the game's alone.
                game = child_pids(run.process.pid)[0]
                mapped = {pid: " ".join(mapped_files(pid)) for pid in (run.process.pid, game)}
                self.assertEqual(run.terminate(sig=sig, group=True), 0, run.stderr())
                for pid, loads in ((run.process.pid, False), (game, True)):
                    for library in ("libgtk-3.so", "libwebkit2gtk-4.1.so"):
                        self.assertEqual(library in mapped[pid], loads, (pid, library))
                saved = json.loads((documents / "gamestate.json").read_text())
                self.assertEqual(saved, {"runs": runs})
                self.assertEqual(run.lifecycle()[-2:], ["applicationDidEnterBackground:",
                                                        "applicationWillTerminate:"])
                # The activation counter, written on entering the background.
                self.assertEqual((documents / "yongHu31.plist").read_text(), str(runs + 1))
                crashes = [e for e in run.events() if e["event"] == "log"
                           and "web process" in e["message"]]
                self.assertEqual(crashes, [])

    def test_a_second_copy_on_the_same_data_directory_is_refused(self):
        bundle = make_bundle(self.root)
        first = self.start(bundle)
        first.wait_started()
        second = subprocess.run([BINARY, "--bundle", str(bundle), "--data-dir", str(self.data)],
                                capture_output=True, text=True, timeout=60)
        self.assertEqual(second.returncode, 2, second.stderr)
        lines = second.stderr.strip().splitlines()
        self.assertEqual(len(lines), 1, lines)
        self.assertIn("in use", lines[0])
        self.assertIn(str(self.data), lines[0])
        # The first one plays on and saves as usual; after it, the directory is free.
        self.assertEqual(first.terminate(), 0)
        third = self.start(bundle)
        third.wait_started()
        self.assertEqual(third.terminate(), 0)

    def test_a_slow_start_is_waited_for_and_a_hanging_one_given_up(self):
        # The script limit is 0.4 s, so the start-up's is 1.6 s.
        env = {"TUMBLA_SCRIPT_TIMEOUT_MS": "400"}
        slow = self.start(make_bundle(self.root, extra="var t = Date.now() + 1000; "
                                      "while (Date.now() < t) {}"), env=env)
        slow.wait_started()
        self.assertEqual(slow.scripts().count("Tumbla.init()"), 1)
        self.assertEqual(slow.terminate(), 0)

        hanging_data = self.root / "hanging-data"
        hanging_data.mkdir()
        hanging = Run(make_bundle(self.root / "hanging", extra="send('tumbla://app.prismora/hi'); "
                                  "while (true) {}"), hanging_data, env=env)
        self.runs.append(hanging)
        hanging.wait_for(lambda r: any("not reloaded any more" in e.get("message", "")
                                       for e in r.events()), timeout=60, what="giving up")
        # The page never started, so there is no game to save: the earlier one is kept.
        self.assertNotEqual(hanging.terminate(), 0)
        self.assertFalse((hanging_data / "Documents" / "gamestate.json").exists())
        # How many starts reached Tumbla.init() depends on the machine's speed (a start can
        # hang before its page has loaded); what the player sees does not: three reloads, then
        # nothing is started again, and no command is delivered twice in one start.
        logs = [e["message"] for e in hanging.events() if e["event"] == "log"]
        given_up_at = next(i for i, m in enumerate(logs) if "not reloaded any more" in m)
        reloads = [i for i, m in enumerate(logs) if m.startswith("reloading the page")]
        self.assertEqual(len(reloads), 3, logs)
        self.assertLess(reloads[-1], given_up_at, logs)
        hellos = [n for n in hanging.navigations() if n["url"] == "tumbla://app.prismora/hi"]
        self.assertLessEqual(len(hellos), len(reloads) + 1)

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
        # The game could not be saved: a status that says so, and one line why.
        self.assertEqual(run.terminate(timeout=30), 1)
        self.assertLess(time.monotonic() - started, 20)
        self.assertFalse((self.data / "Documents" / "gamestate.json").exists())
        save = [e for e in run.events() if e.get("script") == "Tumbla.saveGameState()"]
        self.assertEqual({e["answered"] for e in save}, {False})
        self.assertIn("game was not saved", run.stderr().strip().splitlines()[-1])

    def test_settings_changed_outside_the_running_game_survive_its_save(self):
        extra = ("setTimeout(function () { send('tumbla://settings.prismora/update?"
                 "theme=2&pauseButton=3&soundEnabled=1'); }, 1500);")
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_started()
        # Another program edits the settings file while the game runs, replacing it whole.
        prefs = self.data / "preferences.plist"
        stored = plistlib.loads(prefs.read_bytes()) if prefs.exists() else {}
        stored.update({"musicEnabled": True, "shakeToUndo": True, "editedOutside": "yes"})
        edited = self.data / "preferences.plist.edit"
        edited.write_bytes(plistlib.dumps(stored))
        edited.rename(prefs)
        run.wait_for(lambda r: any("settings.prismora" in n["url"] for n in r.navigations()),
                     what="the page's settings")
        self.assertEqual(run.terminate(), 0)
        saved = plistlib.loads(prefs.read_bytes())
        self.assertEqual(saved["editedOutside"], "yes")
        # The keys the page set are the page's; every other key stays as it was edited.
        self.assertEqual((saved["theme"], saved["pauseButton"]), (2, 3))
        self.assertIs(saved["soundEnabled"], True)
        self.assertIs(saved["musicEnabled"], False)

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
        # It is no http address either: it does not leave the game.
        last = "tumbla://Audio.prismora/probe?n=last"
        run.wait_for(lambda r: any(m.startswith("refused to open " + last) for m in self.logs(r)),
                     what="the one link refused")
        self.assertEqual(run.terminate(), 0)
        self.assertEqual(run.opened(), [])
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
        asked = [e for e in run.events() if e["event"] == "open-outside"]
        opened = [e for e in asked if e["handedOver"]]
        self.assertEqual(len(asked), 200)
        self.assertGreaterEqual(len(opened), 1)
        self.assertLessEqual(len(opened), seconds + 2, (len(opened), seconds))
        # The refusals are said once a burst, not 199 times.
        said = [m for m in self.logs(run) if m.startswith("refused to open")]
        self.assertGreaterEqual(len(said), 1)
        self.assertLess(len(said), 10, said)
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
        # The game could not be saved over the directory: the status says so.
        self.assertEqual(run.terminate(), 1)
        stderr = run.stderr()
        # One line each on reading; the saves at the end say for themselves that they failed.
        reading = [line for line in stderr.splitlines()
                   if not line.startswith(("tumbla: could not save", "tumbla: could not write",
                                           "tumbla: the game was not saved"))]
        for name in ("gamestate.json", "preferences.plist", "yongHu31.plist"):
            self.assertEqual(sum(f"/{name} " in line for line in reading), 1, (name, stderr))
        self.assertTrue((documents / "gamestate.json").is_dir())
        self.assertTrue((self.data / "preferences.plist").is_dir())
        self.assertEqual(sorted(p.name for p in documents.iterdir()),
                         ["facebook2.plist", "gamestate.json", "notes.txt", "yongHu31.plist"])
        self.assertFalse((self.data / ".preferences.plist.tumbla-save-dEf456").exists())

    def test_killing_the_host_during_saves_never_leaves_a_part_or_a_leftover(self):
        # Each run's page holds a state of its own, 4 MB so that the kill lands while it is
        # being written: what is on disk afterwards must be one of them whole.
        def state(run):
            return {"board": "abcdefgh"[run] * 4_000_000, "n": run}

        documents = self.data / "Documents"
        saved = documents / "gamestate.json"
        for attempt in range(4):
            run = self.start(make_bundle(self.root, state=json.dumps(state(attempt))))
            run.wait_started()
            run.process.send_signal(signal.SIGTERM)
            time.sleep(0.02 * attempt)
            run.process.kill()
            run.process.wait()
            if saved.exists():
                self.assertIn(json.loads(saved.read_text()), [state(n) for n in range(attempt + 1)],
                              f"after attempt {attempt}")
        # The next start clears what the killed saves left, and saves its own state whole.
        run = self.start(make_bundle(self.root, state=json.dumps(state(4))))
        run.wait_started()
        self.assertEqual(run.terminate(), 0)
        self.assertEqual(json.loads(saved.read_text()), state(4))
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
        usage = self.run_tumbla("--help").stdout
        self.assertIn("--data-dir", usage)
        # Alone, --help is answered without the game; with other options, by the game.
        self.assertEqual(self.run_tumbla("--mute", "--help").stdout, usage)
        # A command without its game program says so in one line, and starts nothing.
        with tempfile.TemporaryDirectory() as tmp:
            alone = shutil.copy(BINARY, tmp)
            result = subprocess.run([alone, "--mute"], capture_output=True, text=True, timeout=60)
            self.assertEqual(result.returncode, 2)
            self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
            self.assertIn("tumbla-game", result.stderr)
        for bad in (["--device", "android"], ["--nope"], ["--trace"]):
            result = self.run_tumbla(*bad)
            self.assertEqual(result.returncode, 2, bad)
            # One line that says what is wrong and where to look.
            lines = result.stderr.strip().splitlines()
            self.assertEqual(len(lines), 1, lines)
            self.assertIn("--help", lines[0])


def run_suite():
    """Runs the tests of the script being run against the tumbla given as --binary."""
    global BINARY
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    options, rest = parser.parse_known_args()
    BINARY = options.binary
    unittest.main(argv=[sys.argv[0], *rest], verbosity=2)


if __name__ == "__main__":
    run_suite()
