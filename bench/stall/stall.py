#!/usr/bin/python3
"""The longest stalls of tumbla's main loop in four scenes, read from its trace.

Run under a display with a D-Bus session (tests/support/run-under-xvfb.sh starts both):
    stall.py --tumbla build/app/tumbla [--before OTHER_TUMBLA] [--scenes start-up,sound]
"""

import argparse
import ctypes
import ctypes.util
import datetime
import math
import random
import plistlib
import shutil
import sys
import tempfile
import time
from pathlib import Path

E2E = Path(__file__).resolve().parents[2] / "tests" / "e2e"
sys.path.insert(0, str(E2E))
import audio_e2e  # noqa: E402  (tone files)
import tumbla_e2e  # noqa: E402  (bundles and runs)
import tumbla_prompts_e2e  # noqa: E402  (loopback list servers)

FRAME_MS = 16
# Trace events that tell nothing about what the host was doing.
PROBE_EVENTS = {"stall", "script-call", "stall-summary", "log"}

# The page plays music, cross-fades to another, plays effects and a 9.5 s clip, then says
# it is done; every command is a load the host refuses.
SOUND_PAGE = r"""
  var steps = [
    [300, 'playMusic?name=theme-a'], [600, 'playSound?name=pop'],
    [900, 'playSound?name=long.ogg'], [1200, 'playMusic?name=theme-b'],
    [1500, 'playSounds?names=pop,click'], [1800, 'playSound?name=long.ogg'],
    [2400, 'playMusic?name=theme-a'], [2700, 'playSound?name=click'],
    [3600, 'stopMusic']];
  steps.forEach(function (step) {
    setTimeout(function () { send('tumbla://audio.prismora/' + step[1]); }, step[0]);
  });
  setTimeout(function () { send('tumbla://app.prismora/benchDone'); }, 4500);
"""


# Each prompt is reported as shown and answered a moment later, one click at a time, as a
# player would answer them.
PROMPT_PAGE = r"""
  var answers = 0;
  function answerLater(name, args, answer) {
    send('tumbla://app.prismora/shown?name=' + name);
    answers += 1;
    setTimeout(function () { send(answer); }, 400 * answers);
  }
  Tumbla.showCurrentVersion = function () {
    answerLater('showCurrentVersion', arguments, 'tumbla://iVersion.prismora/viewedLocal');
  };
  Tumbla.showNewVersion = function () {
    answerLater('showNewVersion', arguments, 'tumbla://iVersion.prismora/ignore?version=1.25');
  };
  Tumbla.showNotification = function (key) {
    answerLater('showNotification', arguments,
                'tumbla://iNotify.prismora/ignore?key=' + encodeURIComponent(key));
  };
  Tumbla.showRatingPrompt = function () {
    answerLater('showRatingPrompt', arguments, 'tumbla://iRate.prismora/decline');
  };
"""


def write_ogg(path, frequency, seconds, rate=44100, channels=2):
    """A chord over noise as Ogg Vorbis, written through libsndfile (which tumbla decodes
    with): a compressed clip with as much in it as a recording costs far more to decode than
    PCM or a pure tone."""

    class Info(ctypes.Structure):
        _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int),
                    ("channels", ctypes.c_int), ("format", ctypes.c_int),
                    ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]

    sndfile = ctypes.CDLL(ctypes.util.find_library("sndfile"))
    sndfile.sf_open.restype = ctypes.c_void_p
    sndfile.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(Info)]
    sndfile.sf_writef_float.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_float),
                                        ctypes.c_int64]
    sndfile.sf_close.argtypes = [ctypes.c_void_p]
    ogg_vorbis, write_mode = 0x200000 | 0x0060, 0x20
    info = Info(0, rate, channels, ogg_vorbis, 0, 0)
    handle = sndfile.sf_open(str(path).encode(), write_mode, ctypes.byref(info))
    if not handle:
        raise RuntimeError(f"libsndfile cannot write {path}")
    frames = int(seconds * rate)
    samples = (ctypes.c_float * (frames * channels))()
    noise = random.Random(7)
    steps = [2 * math.pi * frequency * ratio / rate for ratio in (1, 1.26, 1.5, 2.01, 3.02)]
    for i in range(frames):
        value = 0.06 * sum(math.sin(step * i) for step in steps)
        for c in range(channels):
            samples[i * channels + c] = value + noise.uniform(-0.1, 0.1)
    sndfile.sf_writef_float(handle, samples, frames)
    sndfile.sf_close(handle)


def start_up(root):
    run = tumbla_e2e.Run(tumbla_e2e.make_bundle(root), root / "data")
    run.wait_started()
    # A quiet second after the start: the page's first frames.
    time.sleep(1)
    return run


def sound(root):
    bundle = tumbla_e2e.make_bundle(root, extra=SOUND_PAGE)
    # Two streamed musics and two short effects, 44.1 kHz stereo as a game's files are, and
    # a compressed clip just short enough to be decoded whole.
    for name, frequency, seconds in [("theme-a", 330, 12), ("theme-b", 440, 12),
                                     ("pop", 880, 0.1), ("click", 1200, 0.05)]:
        audio_e2e.write_caf(bundle / f"{name}.caf", frequency, seconds, 44100, 2)
    write_ogg(bundle / "long.ogg", 550, 9.5)
    run = tumbla_e2e.Run(bundle, root / "data", args=("--mute",))
    run.wait_for(lambda r: any("benchDone" in n["url"] for n in r.navigations()),
                 timeout=120, what="the page's sounds")
    return run


def share(root):
    import share_e2e  # needs the accessibility bindings, so only when this scene runs

    service = share_e2e.Service("server")
    try:
        bundle = tumbla_e2e.make_bundle(root, info={
            "HTML": "index", "CFBundleName": "Fizzpaw", "TumblaFacebookAppID": "4242",
            "TumblaFacebookGraphURL": service.base() + "graph/",
            "TumblaFacebookLoginURL": service.base(),
            "TumblaUpgradeURL": "http://store.example/fizzpaw"})
        for image in ["share.png", "facebook.png", "3242.png", "shexiangtou.png"]:
            shutil.copy(share_e2e.RESOURCES / image, bundle / image)
        shutil.copytree(share_e2e.RESOURCES / "FBDialog.bundle", bundle / "FBDialog.bundle")
        run = tumbla_e2e.Run(bundle, root / "data")
        run.wait_started()
        share_e2e.press(share_e2e.find(["push button", "button"], "Snapshot"))
        share_e2e.press(share_e2e.find(["push button", "button"], "Yes"))
        share_e2e.find(["text", "entry"], "Message").queryEditableText().setTextContents("Hi")
        share_e2e.press(share_e2e.find(["push button", "button"], "Share on Facebook"))
        share_e2e.find(["push button", "button"], "Sure", timeout=90)
        if len(service.uploads) != 1:
            raise AssertionError("the photo was not posted")
        return run
    finally:
        service.stop()


def prompts(root):
    server = tumbla_prompts_e2e.ListServer({
        "/versions.plist": plistlib.dumps({"1.0": ["old"], "1.25": ["New levels"]}),
        "/notices.plist": plistlib.dumps({"k1": {"Title": "News", "Message": "Hello"}}),
        "/probe": b"up",
        "/pj.php": b"1",
    }, delay=3)
    try:
        bundle = tumbla_e2e.make_bundle(root, extra=PROMPT_PAGE, info={
            "HTML": "index", "CFBundleName": "Tumbla", "CFBundleVersion": "1.2",
            "TumblaRemoteVersionsURL": server.url("/versions.plist"),
            "TumblaNotificationsURL": server.url("/notices.plist"),
            "TumblaProbeURL": server.url("/probe"),
            "TumblaConfigURL": server.url("/pj.php"),
            "TumblaPromotionURL": "https://store.test/more"})
        data = root / "data"
        # Not the first launch, and a rating long due.
        with open(data / "preferences.plist", "wb") as f:
            plistlib.dump({
                "iNotifyIgnoredNotifications": [],
                "iRateLastVersionUsed": "1.2", "iRateUseCount": 50,
                "iRateFirstUsed": datetime.datetime.now() - datetime.timedelta(days=30)}, f)
        run = tumbla_e2e.Run(bundle, data)
        wanted = ["ignore?version=1.25", "ignore?key=k1"]
        run.wait_for(lambda r: all(any(w in n["url"] for n in r.navigations()) for w in wanted),
                     timeout=120, what="the prompts from the slow servers")
        return run
    finally:
        server.stop()


SCENES = {"start-up": start_up, "sound": sound, "share": share, "prompts": prompts}


def describe(event):
    """What a trace event says the host was doing, in a few words."""
    name = event["event"]
    detail = event.get("url") or event.get("file") or event.get("script") or event.get("name")
    if detail and "/" in detail and name != "script":
        detail = detail.rsplit("/", 1)[-1]
    return f"{name} {detail[:40]}" if detail else name


def within(events, stall):
    """The host's traced doings that fall within the stall's span."""
    end = stall["time"]
    start = end - stall["ms"] - 2
    return [e for e in events if start <= e["time"] <= end + 1 and e["event"] not in PROBE_EVENTS]


def at_exit(events, stall):
    """Whether the stall is the game's end (SIGTERM: paused, saved, gone with its window)."""
    return any(e.get("name") == "applicationWillTerminate:" for e in within(events, stall))


def cause(events, stall):
    found = [describe(e) for e in within(events, stall)]
    unique = list(dict.fromkeys(found))
    return ", ".join(unique[:3]) + (" ..." if len(unique) > 3 else "") or "-"


def measure(binary, scene):
    tumbla_e2e.BINARY = binary
    with tempfile.TemporaryDirectory(prefix="tumbla-stall-") as tmp:
        root = Path(tmp)
        (root / "data").mkdir()
        run = SCENES[scene](root)
        try:
            status = run.terminate()
        finally:
            if run.process.poll() is None:
                run.process.kill()
        events = run.events()
        summaries = [e for e in events if e["event"] == "stall-summary"]
        if status != 0 or not summaries:
            raise RuntimeError(f"{scene}: tumbla ended with {status} and "
                               f"{'a' if summaries else 'no'} summary: {run.stderr()[-2000:]}")
        stalls = [e for e in events if e["event"] == "stall"]
        exits = [e for e in stalls if at_exit(events, e)]
        stalls = [e for e in stalls if e not in exits]
        longest = max(stalls, key=lambda e: e["ms"], default=None)
        host = max(stalls, key=lambda e: e["hostMs"], default=None)
        work = max(stalls, key=lambda e: e["hostCpuMs"], default=None)
        calls = sorted((e["ms"] for e in events if e["event"] == "script-call"), reverse=True)
        return {
            "summary": summaries[-1],
            "longest": longest, "longest_cause": cause(events, longest) if longest else "-",
            "host": host, "work": work,
            "work_cause": cause(events, work) if work else "-",
            "over_frame": [(e["hostMs"], e["hostCpuMs"], cause(events, e)) for e in stalls
                           if e["hostMs"] > FRAME_MS],
            "calls": calls,
            "exit_host_ms": max((e["hostMs"] for e in exits), default=0.0),
        }


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--tumbla", required=True, help="the tumbla to measure")
    parser.add_argument("--before", help="another tumbla, measured side by side for comparison")
    parser.add_argument("--scenes", default=",".join(SCENES))
    options = parser.parse_args()
    scenes = options.scenes.split(",")
    binaries = [("after", options.tumbla)] + ([("before", options.before)] if options.before else [])

    results = {}
    for scene in scenes:
        # Side by side: each scene runs with every binary before the next scene starts.
        for label, binary in binaries:
            results[(scene, label)] = measure(binary, scene)
            print(f"measured {scene} ({label})", file=sys.stderr)

    worst = 0.0
    print("the longest turn of the loop, the longest host stall in it (wall time, and the "
          "processor time the host used), while the game runs; the launch, before the first "
          "frame, and the end, after SIGTERM, apart:")
    print(f"{'scene':9} {'binary':6} {'longest turn':>12}  {'host wall':>9}  {'host cpu':>9}  "
          f"{'launch':>8}  {'at end':>7}  what the host did in the turn of most host cpu")
    for scene in scenes:
        for label, _ in binaries:
            r = results[(scene, label)]
            s = r["summary"]
            # Turns within a frame are not traced one by one: under 16 ms is all that is known.
            longest = f"{r['longest']['ms']:.1f}ms" if r["longest"] else "<16ms"
            host = f"{r['host']['hostMs']:.1f}ms" if r["host"] else "<16ms"
            work_ms = r["work"]["hostCpuMs"] if r["work"] else 0.0
            work = f"{work_ms:.1f}ms" if r["work"] else "<16ms"
            if label == "after":
                worst = max(worst, work_ms)
            print(f"{scene:9} {label:6} {longest:>12}  {host:>9}  {work:>9}  "
                  f"{s['launchHostMs']:6.1f}ms  {r['exit_host_ms']:5.1f}ms  {r['work_cause']}")
    print()
    print("every host stall over 16 ms (wall, cpu), and what the host traced in it:")
    for scene in scenes:
        for label, _ in binaries:
            for ms, cpu, doing in results[(scene, label)]["over_frame"]:
                print(f"  {scene:9} {label:6} {ms:7.1f}ms {cpu:6.1f}ms: {doing}")
    print()
    print("longest turns overall (host part, toolkit and engine's UI side included), and what the "
          "host traced in them:")
    for scene in scenes:
        for label, _ in binaries:
            r = results[(scene, label)]
            if r["longest"]:
                print(f"  {scene:9} {label:6} {r['longest']['ms']:7.1f}ms: {r['longest_cause']}")
    print()
    print("synchronous script calls (the engine runs the page's script while the host waits):")
    print(f"{'scene':9} {'binary':6} {'calls':>6} {'longest':>9} {'all':>9}  over 16 ms")
    for scene in scenes:
        for label, _ in binaries:
            r = results[(scene, label)]
            s = r["summary"]
            over = ", ".join(f"{ms:.0f}" for ms in r["calls"][:6]) or "-"
            print(f"{scene:9} {label:6} {s['scriptCalls']:6d} {s['longestScriptCallMs']:7.1f}ms "
                  f"{s['scriptCallMs']:7.1f}ms  {over}")
    return 0 if worst <= FRAME_MS else 1


if __name__ == "__main__":
    sys.exit(main())
