#!/usr/bin/env python3
"""End-to-end tests of the fast command path, the page helper and the bundled game, with the
real tumbla binary and the real web engine.

Run under a display (tests/support/run-under-xvfb.sh starts one):
    game_e2e.py --binary build/app/tumbla [unittest options]
"""

import json
import plistlib
import shutil
import socket
import subprocess
import time
import unittest
import urllib.parse
from pathlib import Path

import tumbla_e2e
from tumbla_e2e import make_bundle

RESOURCES = Path(__file__).resolve().parents[2] / "resources"
EXAMPLE = Path(__file__).resolve().parents[2] / "docs" / "example-bundle"


def commands_in_order(run, marker):
    """The command URLs containing `marker`, by either path, in the order tumbla saw them."""
    return [e["url"] for e in run.events()
            if e["event"] in ("message", "navigation") and marker in e["url"]]


class Session(unittest.TestCase):
    """A fresh data folder for each test; the runs started in it are stopped afterwards."""
    setUp = tumbla_e2e.EndToEnd.setUp
    tearDown = tumbla_e2e.EndToEnd.tearDown
    start = tumbla_e2e.EndToEnd.start


class FastPath(Session):
    def test_messages_and_frame_loads_reach_the_dispatcher_in_the_order_sent(self):
        extra = """
          const h = window.webkit.messageHandlers.tumbla;
          h.postMessage('tumbla://app.prismora/m?i=0');
          send('tumbla://app.prismora/m?i=1');
          h.postMessage('tumbla://app.prismora/m?i=2\\ntumbla://app.prismora/m?i=3\\n');
          h.postMessage('tumbla://settings.prismora/update?theme=3&pauseButton=2&musicEnabled=1');
          h.postMessage('http://example.com/via-message');
          h.postMessage(42);
          for (let i = 4; i < 20003; i++) h.postMessage('tumbla://app.prismora/m?i=' + i);
          send('tumbla://app.prismora/m?i=20003');"""
        run = self.start(make_bundle(self.root, extra=extra))
        run.wait_for(lambda r: len(commands_in_order(r, "/m?i=")) >= 20004, timeout=180,
                     what="20,004 commands")
        self.assertEqual(commands_in_order(run, "/m?i="),
                         [f"tumbla://app.prismora/m?i={i}" for i in range(20004)])
        kinds = {e["url"]: e["event"] for e in run.events() if "/m?i=" in e.get("url", "")}
        self.assertEqual((kinds["tumbla://app.prismora/m?i=0"], kinds["tumbla://app.prismora/m?i=1"]),
                         ("message", "navigation"))
        run.wait_for(lambda r: r.opened(), what="the link opened outside")
        self.assertEqual(run.opened(), ["http://example.com/via-message"])
        logs = [e["message"] for e in run.events() if e["event"] == "log"]
        self.assertTrue(any("not a text" in m for m in logs), logs)
        self.assertEqual(run.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            stored = plistlib.load(f)
        self.assertEqual((stored["theme"], stored["pauseButton"], stored["musicEnabled"]),
                         (3, 2, True))

    def test_the_page_helper_uses_the_fast_path_and_encodes_its_parameters(self):
        bundle = make_bundle(self.root, extra="""
          tumbla.audio.playSound('big bang & 1+1=2');
          tumbla.settings.update({theme: 1, pauseButton: 0, soundEnabled: false, shakeToUndo: true});
          tumbla.send('app.prismora', '/done', {fast: tumbla.hasFastPath()});""")
        shutil.copy(RESOURCES / "tumbla.js", bundle / "tumbla.js")
        page = bundle / "index.html"
        page.write_text(page.read_text().replace("<body>", '<body><script src="tumbla.js"></script>'))
        run = self.start(bundle)
        run.wait_for(lambda r: commands_in_order(r, "/done"), what="the helper's commands")
        messages = [e["url"] for e in run.events() if e["event"] == "message"]
        self.assertEqual(messages, [
            "tumbla://audio.prismora/playSound?name=big%20bang%20%26%201%2B1%3D2",
            "tumbla://settings.prismora/update?theme=1&pauseButton=0&shakeToUndo=1",
            "tumbla://app.prismora/done?fast=1"])
        self.assertEqual([n for n in run.navigations() if "prismora" in n["url"]], [])
        self.assertEqual(run.terminate(), 0)
        with open(self.data / "preferences.plist", "rb") as f:
            stored = plistlib.load(f)
        self.assertEqual((stored["theme"], stored["soundEnabled"], stored["shakeToUndo"]),
                         (1, False, True))


class BundledGame(Session):
    def press_keys(self, *keys):
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^Tumbla$"],
                                capture_output=True, text=True, timeout=60).stdout.split()
        self.assertTrue(window, "the game's window")
        subprocess.run(["xdotool", "windowfocus", "--sync", window[0]], timeout=60)
        subprocess.run(["xdotool", "key", "--delay", "150", *keys], check=True, timeout=60)

    def saved(self):
        return json.loads((self.data / "Documents" / "gamestate.json").read_text())

    def test_a_level_played_with_the_keyboard_is_won_scored_and_kept(self):
        run = self.start(RESOURCES)
        run.wait_started()
        # The rules come up on a first start; Enter closes them. The first level is solved
        # by pressing the tile left of the centre.
        self.press_keys("Return", "Left", "Return")
        won = lambda r: any("gameCenter.prismora/submit" in u for u in commands_in_order(r, "prismora"))
        run.wait_for(won, what="the level's score submitted")
        urls = commands_in_order(run, "prismora")
        self.assertIn("tumbla://audio.prismora/playSound?name=move", urls)
        self.assertIn("tumbla://audio.prismora/playSound?name=flip", urls)
        self.assertIn("tumbla://audio.prismora/playSound?name=win", urls)
        self.assertIn("tumbla://gameCenter.prismora/submit?score=1000&level=1&difficulty=easy", urls)
        self.assertIn("tumbla://audio.prismora/switchTrack", urls)
        self.assertTrue(all(e["answered"] for e in run.events()
                            if e["event"] == "script" and "Tumbla." in e["script"]
                            and e["time"] >= self.first_init(run)))
        self.assertEqual(run.terminate(), 0)
        state = self.saved()
        self.assertEqual(state["best"]["1"], {"moves": 1, "score": 1000})
        # Ended on the win screen: the next start is at the next level, not the solved one.
        self.assertEqual((state["version"], state["unlocked"], state["level"], state["moves"]),
                         (2, 2, 2, 0))

    def test_prompts_are_the_games_own_dialogs_and_answered_by_commands(self):
        bundle = self.root / "game"
        shutil.copytree(RESOURCES, bundle)
        page = bundle / "index.html"
        # As the host does when prompts are due before the page is ready: after the start.
        prompts = '''<script>
          const start = Tumbla.init;
          Tumbla.init = function () {
            start();
            Tumbla.showRatingPrompt();
            Tumbla.showNewVersion("1.2.5", "Faster\\nNew levels");
            Tumbla.showNotification("abc", "Hello", "A notice", "(null)", "(null)");
          };
        </script></body>'''
        page.write_text(page.read_text().replace("</body>", prompts))
        run = self.start(bundle)
        run.wait_started()
        # Past the rules; the rating answered at once; the version put off with Escape; the
        # notice, which has no link, acknowledged.
        self.press_keys("Return", "Return", "Escape", "Return")
        answers = lambda r: [u for u in commands_in_order(r, "prismora")
                             if any(h in u for h in ("iRate", "iVersion", "iNotify"))]
        run.wait_for(lambda r: len(answers(r)) >= 3, what="three answers")
        self.assertEqual(answers(run), ["tumbla://iRate.prismora/rated",
                                        "tumbla://iVersion.prismora/remind",
                                        "tumbla://iNotify.prismora/viewed?key=abc"])
        self.assertEqual(run.terminate(), 0)

    def test_a_save_of_the_first_page_still_loads(self):
        documents = self.data / "Documents"
        documents.mkdir()
        board = [i % 3 == 0 for i in range(25)]
        (documents / "gamestate.json").write_text(json.dumps(
            {"level": 12, "moves": 4, "lights": board, "best": {"3": 7}}))
        run = self.start(RESOURCES, args=("--device", "ipad"))
        run.wait_started()
        self.assertEqual(run.terminate(), 0)
        state = self.saved()
        self.assertEqual((state["level"], state["size"], state["lights"], state["moves"]),
                         (12, 5, board, 4))
        self.assertEqual(state["best"]["3"]["moves"], 7)

    def save_progress(self, level, unlocked, best):
        documents = self.data / "Documents"
        documents.mkdir()
        (documents / "gamestate.json").write_text(json.dumps(
            {"version": 2, "level": level, "unlocked": unlocked, "rulesSeen": True,
             "best": {str(n): {"moves": moves} for n, moves in best.items()}}))

    def test_the_scores_screen_shows_bests_and_stars_by_level_and_closes_with_escape(self):
        self.save_progress(level=4, unlocked=4, best={1: 1, 2: 3})
        bundle = self.root / "game"
        shutil.copytree(RESOURCES, bundle)
        page = bundle / "index.html"
        # Tells which screen is up, and its text, whenever that changes.
        watch = '''<script>
          new MutationObserver(function () {
            const shown = document.querySelector("#overlay:not([hidden]) .screen:not([hidden])");
            tumbla.send("app.prismora", "/screen", {
              name: shown ? shown.id : "none", text: shown ? shown.innerText : "" });
          }).observe(document.getElementById("overlay"),
                     { attributes: true, subtree: true, attributeFilter: ["hidden"] });
        </script></body>'''
        page.write_text(page.read_text().replace("</body>", watch))
        run = self.start(bundle)
        run.wait_started()

        def screens(r):
            found = []
            for url in commands_in_order(r, "app.prismora/screen?"):
                query = urllib.parse.parse_qs(urllib.parse.urlsplit(url).query)
                found.append((query["name"][0], " ".join(query.get("text", [""])[0].split())))
            return found

        self.press_keys("b")
        run.wait_for(lambda r: screens(r), what="the scores screen")
        name, text = screens(run)[0]
        self.assertEqual(name, "screen-scores")
        for shown in ["Total 1667", "Easy", "1 ★★★ 1 / 1 1000", "2 ★★☆ 3 / 2 667",
                      "3 – – / 2 –", "4 – – / 3 –"]:
            self.assertIn(shown, text)
        self.assertNotIn("Medium", text)
        self.assertNotIn("5 –", text)
        self.assertIn("tumbla://gameCenter.prismora/scores?difficulty=easy",
                      commands_in_order(run, "prismora"))
        self.press_keys("Escape")
        run.wait_for(lambda r: len(screens(r)) >= 2, what="the scores screen closed")
        self.assertEqual(screens(run)[1], ("none", ""))
        self.assertEqual(run.terminate(), 0)

    def test_resetting_the_scores_keeps_every_level_reached(self):
        self.save_progress(level=3, unlocked=9, best={1: 1, 2: 2, 8: 5})
        with open(self.data / "preferences.plist", "wb") as f:
            plistlib.dump({"resetScores": True}, f)
        run = self.start(RESOURCES)
        run.wait_started()
        self.assertIn("Tumbla.resetScores()", run.scripts())
        self.assertEqual(run.terminate(), 0)
        state = self.saved()
        self.assertEqual((state["best"], state["level"], state["unlocked"]), ({}, 3, 9))
        with open(self.data / "preferences.plist", "rb") as f:
            self.assertIs(plistlib.load(f)["resetScores"], False)

    def test_the_bundles_version_reads_in_its_release_notes_as_written(self):
        bundle = self.root / "game"
        shutil.copytree(RESOURCES, bundle)
        with open(bundle / "Info.plist", "rb") as f:
            info = plistlib.load(f)
        version = info["CFBundleVersion"]
        info["TumblaLocalVersionsPath"] = "versions.plist"
        with open(bundle / "Info.plist", "wb") as f:
            plistlib.dump(info, f)
        with open(bundle / "versions.plist", "wb") as f:
            plistlib.dump({version: ["First release"]}, f)
        run = self.start(bundle)
        notes = lambda r: [s for s in r.scripts() if s.startswith("Tumbla.showCurrentVersion(")]
        run.wait_for(notes, what="the release notes")
        self.assertEqual(notes(run), [f'Tumbla.showCurrentVersion("{version}", "First release")'])
        self.assertEqual(run.terminate(), 0)

    @staticmethod
    def first_init(run):
        return min(e["time"] for e in run.events() if e["event"] == "script"
                   and e["script"].startswith("Tumbla.init"))


class Desktop(Session):
    screen_colours = tumbla_e2e.EndToEnd.screen_colours

    def test_the_tablet_shows_a_launch_image_of_its_own_over_the_whole_window(self):
        bundle = self.root / "game"
        shutil.copytree(RESOURCES, bundle)
        # The launch image stays up until the page has loaded: this one never does, as it
        # waits for a script from a server that takes the connection and never answers.
        server = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(server.close)
        page = bundle / "index~ipad.html"
        page.write_text(page.read_text().replace(
            "<body", f'<script src="http://127.0.0.1:{server.getsockname()[1]}/never.js">'
                     '</script><body'))
        with open(bundle / "Info.plist", "rb") as f:
            launch_image = Path(plistlib.load(f)["UILaunchImageFile"])
        tablet_image = bundle / f"{launch_image.stem}-Landscape{launch_image.suffix}"
        pixels = subprocess.run(["convert", str(tablet_image), "-depth", "8", "rgb:-"],
                                check=True, capture_output=True, timeout=60).stdout
        palette = {"#" + pixels[i:i + 3].hex().upper() for i in range(0, len(pixels) - 2, 3)}
        window = 1024 * 768
        self.assertEqual(len(pixels), 3 * window)

        def in_image(colours):
            return sum(count for colour, count in colours.items() if colour in palette)

        # An activation count that brings neither the upgrade offer nor the share panel.
        (self.data / "Documents").mkdir()
        (self.data / "Documents" / "yongHu31.plist").write_text("3")
        run = self.start(bundle, args=("--device", "ipad"))
        run.wait_for(lambda r: "Tumbla" in self.window_names(), what="the window")
        # All of the window but the host's own buttons over it (the snapshot camera).
        deadline = time.monotonic() + 60
        while in_image(shown := self.screen_colours()) < 0.98 * sum(shown.values()):
            if time.monotonic() > deadline:
                break
            time.sleep(0.5)
        # The window has the tablet page's shape, fitted to the screen.
        width, height = self.window_size()
        self.assertLessEqual(abs(width * 768 - height * 1024), 1024, (width, height))
        self.assertEqual(sum(shown.values()), width * height)
        self.assertGreater(in_image(shown), 0.98 * width * height)
        run.terminate()

    def window_size(self):
        window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Tumbla$"],
                                capture_output=True, text=True, timeout=60).stdout.split()[0]
        shell = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                               capture_output=True, text=True, timeout=60).stdout
        fields = dict(line.split("=", 1) for line in shell.split() if "=" in line)
        return int(fields["WIDTH"]), int(fields["HEIGHT"])

    def window_names(self):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "."],
                               capture_output=True, text=True, timeout=60).stdout.split()
        return [subprocess.run(["xdotool", "getwindowname", w], capture_output=True,
                               text=True, timeout=60).stdout.strip() for w in found]

    def test_the_example_bundle_runs_under_its_own_name_and_keeps_its_game(self):
        run = self.start(EXAMPLE)
        run.wait_started()
        run.wait_for(lambda r: "Tap Counter" in self.window_names(), what="the window's title")
        messages = [e["url"] for e in run.events() if e["event"] == "message"]
        self.assertIn("tumbla://undo.prismora/disable", messages)
        self.assertEqual(run.terminate(), 0)
        saved = json.loads((self.data / "Documents" / "gamestate.json").read_text())
        self.assertEqual(saved, {"taps": 0})

    def test_the_inspector_opens_beside_the_game(self):
        run = self.start(RESOURCES, args=("--inspector", "--fullscreen"))
        run.wait_started()
        # Its title follows the player's language ("Web Inspector", "Web-Inspektor", ...):
        # it is the visible window beside the game's.
        run.wait_for(lambda r: any(n and n != "Tumbla" for n in self.window_names()),
                     what="the inspector's window")
        self.assertIn("Tumbla", self.window_names())
        self.assertEqual(run.terminate(), 0)


if __name__ == "__main__":
    tumbla_e2e.run_suite()
