"""End-to-end tests of tumbla's sound: the real binary plays a page's audio commands and
records the mixer's output with --audio-record; the tests listen to the samples.

Tones of known pitch and level stand in for music and effects, so each one's level can be
read from the recording at any moment by projecting onto its frequency.
"""

import array
import cmath
import math
import os
import struct
import sys
import tempfile
import time
import unittest
import wave
from pathlib import Path

import tumbla_e2e as host

LEVEL = 0.4          # every tone's amplitude at full volume
MUSIC_FADE = 3.0     # the sound manager's music fade
WINDOW = 0.05        # analysis window: a whole number of cycles of every test tone
HIGH_LOOP = 1.5      # the second music's file: a short loop, as the game's tracks are


def tone_samples(frequency, seconds, rate, channels):
    count = int(seconds * rate)
    for i in range(count):
        value = LEVEL * math.sin(2 * math.pi * frequency * i / rate)
        for _ in range(channels):
            yield value


def write_caf(path, frequency, seconds, rate, channels):
    pcm = array.array("h", (int(round(s * 32767)) for s in tone_samples(frequency, seconds, rate, channels)))
    if sys.byteorder == "little":
        pcm.byteswap()
    data = pcm.tobytes()
    desc = struct.pack(">dIIIIII", float(rate), 0x6C70636D, 0, 2 * channels, 1, channels, 16)
    with open(path, "wb") as out:
        out.write(b"caff" + struct.pack(">HH", 1, 0))
        out.write(b"desc" + struct.pack(">q", len(desc)) + desc)
        out.write(b"data" + struct.pack(">q", len(data) + 4) + struct.pack(">I", 0) + data)


def write_wav(path, frequency, seconds, rate, channels):
    pcm = array.array("h", (int(round(s * 32767)) for s in tone_samples(frequency, seconds, rate, channels)))
    with wave.open(str(path), "wb") as out:
        out.setnchannels(channels)
        out.setsampwidth(2)
        out.setframerate(rate)
        out.writeframes(pcm.tobytes())


class Recording:
    """The left channel of a 16-bit WAV recording, as floats."""

    def __init__(self, path):
        with wave.open(str(path), "rb") as recording:
            self.rate = recording.getframerate()
            channels = recording.getnchannels()
            assert recording.getsampwidth() == 2
            pcm = array.array("h", recording.readframes(recording.getnframes()))
        self.left = [s / 32767.0 for s in pcm[::channels]]

    def seconds(self):
        return len(self.left) / self.rate

    def level(self, frequency, at):
        """The amplitude of `frequency` in the window centred on `at` seconds."""
        size = int(WINDOW * self.rate)
        start = max(0, int(at * self.rate) - size // 2)
        chunk = self.left[start:start + size]
        if len(chunk) < size:
            return 0.0
        step = -2j * math.pi * frequency / self.rate
        total = sum(x * cmath.exp(step * n) for n, x in enumerate(chunk))
        return 2 * abs(total) / size

    def first_time_above(self, frequency, threshold, start=0.0):
        at = start
        while at < self.seconds():
            if self.level(frequency, at) > threshold:
                return at
            at += 0.01
        return None


# The page: music fades in, the same music is asked for again twice, another music takes
# over, music stops, then two effects play together (one at 22.05 kHz mono, one at the
# mixer's own 48 kHz), and finally a mark in the trace says the page is done.
SCRIPT = """
const at = (seconds, url) => setTimeout(() => send(url), seconds * 1000);
at(0.0, 'x://audio.prismora/playMusic?name=low');
at(4.5, 'x://audio.prismora/playMusic?name=low');
at(5.0, 'x://audio.prismora/playMusic?name=low.caf');
at(6.0, 'x://audio.prismora/playMusic?name=high');
at(10.5, 'x://audio.prismora/stopMusic');
at(14.0, 'x://audio.prismora/playSounds?names=slow,fast.wav');
at(16.0, 'x://audio.prismora/playSound?name=done-mark');
"""


class AudioEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        root = Path(cls.tmp.name)
        bundle = host.make_bundle(root, extra=SCRIPT)
        write_caf(bundle / "low.caf", 440, 20, 48000, 2)     # long: streamed from disk
        write_caf(bundle / "high.caf", 660, HIGH_LOOP, 48000, 2)  # whole cycles: no seam
        write_caf(bundle / "slow.caf", 1000, 1.0, 22050, 1)  # resampled to the mixer's rate
        write_wav(bundle / "fast.wav", 3000, 1.0, 48000, 2)
        recording = root / "recording.wav"
        run = host.Run(bundle, root, env={"SDL_AUDIODRIVER": "dummy"},
                       args=("--audio-record", str(recording)))
        try:
            run.wait_started()
            run.wait_for(lambda r: any("done-mark" in e.get("url", "") for e in r.navigations()),
                         timeout=120, what="the page's last command")
            # The effects are a second long; wait for both to report their end.
            run.wait_for(lambda r: len([e for e in r.events() if e["event"] == "sound-finish"]) >= 2,
                         timeout=60, what="the effects' end")
        finally:
            status = run.terminate()
        cls.status = status
        cls.events = run.events()
        cls.stderr = run.stderr()
        cls.recording = Recording(recording)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def command_time(self, fragment, occurrence=0):
        times = [e["time"] / 1000.0 for e in self.events
                 if e["event"] == "navigation" and fragment in e["url"]]
        return times[occurrence]

    def fade_in_start(self):
        """Where the first music's fade starts in the recording: the line through its
        rising levels, extended back to silence."""
        rec = self.recording
        onset = rec.first_time_above(440, 0.01)
        self.assertIsNotNone(onset, "the music was never heard")
        points = [(onset + 0.3 + 0.1 * i, 0.0) for i in range(20)]
        points = [(t, rec.level(440, t)) for t, _ in points]
        slope = LEVEL / MUSIC_FADE
        start = sum(t - level / slope for t, level in points) / len(points)
        return start

    def test_recording_is_a_real_time_record_and_the_run_ends_cleanly(self):
        self.assertEqual(self.status, 0, self.stderr)
        self.assertEqual(self.recording.rate, 48000)
        trace_span = (self.events[-1]["time"] - self.events[0]["time"]) / 1000.0
        # The mixer keeps real time without a sound card: the recording is as long as the run.
        self.assertGreater(self.recording.seconds(), trace_span - 1.0)
        self.assertLess(self.recording.seconds(), trace_span + 5.0)
        self.assertIn("no audio device", self.stderr)

    def test_fade_in_rises_linearly_to_full_level(self):
        rec = self.recording
        start = self.fade_in_start()
        for mark in range(1, 31):
            t = start + 0.1 * mark
            expected = LEVEL * min(1.0, (0.1 * mark) / MUSIC_FADE)
            self.assertAlmostEqual(rec.level(440, t), expected, delta=0.02,
                                   msg=f"{0.1 * mark:.1f} s into the fade-in")
        self.assertAlmostEqual(rec.level(440, start + 3.5), LEVEL, delta=0.02)

    def test_asking_again_for_the_current_music_changes_nothing(self):
        rec = self.recording
        start = self.fade_in_start()
        first = self.command_time("playMusic?name=low", 0)
        repeat = self.command_time("playMusic?name=low.caf") - first + start
        switch = self.command_time("playMusic?name=high") - first + start
        t = start + MUSIC_FADE + 0.2
        self.assertLess(t, repeat - 0.5)
        while t < switch - 0.1:
            self.assertAlmostEqual(rec.level(440, t), LEVEL, delta=0.015, msg=f"at {t:.2f} s")
            self.assertLess(rec.level(660, t), 0.01)
            t += 0.05

    def test_cross_fade_envelopes_sum_to_a_steady_level(self):
        rec = self.recording
        begin = rec.first_time_above(660, 0.01, start=self.fade_in_start() + 4)
        self.assertIsNotNone(begin, "the second music was never heard")
        previous_high = 0.0
        for step in range(0, 30):
            t = begin + 0.1 * step
            low, high = rec.level(440, t), rec.level(660, t)
            self.assertAlmostEqual(low + high, LEVEL, delta=0.025, msg=f"{t - begin:.1f} s in")
            self.assertGreaterEqual(high, previous_high - 0.005)
            previous_high = high
        self.assertLess(rec.level(440, begin + MUSIC_FADE + 0.3), 0.01)
        self.assertAlmostEqual(rec.level(660, begin + MUSIC_FADE + 0.3), LEVEL, delta=0.02)

    def test_music_goes_round_its_file_until_stopped_and_then_fades_out(self):
        rec = self.recording
        start = self.fade_in_start()
        first = self.command_time("playMusic?name=low", 0)
        switch = self.command_time("playMusic?name=high") - first + start
        stop = self.command_time("stopMusic") - first + start
        self.assertGreater(stop - switch, 2 * HIGH_LOOP + 0.3)  # past two passes
        t = switch + MUSIC_FADE + 0.2
        while t < stop - 0.1:
            self.assertAlmostEqual(rec.level(660, t), LEVEL, delta=0.02,
                                   msg=f"{(t - switch) / HIGH_LOOP:.1f} passes in")
            t += 0.05
        self.assertAlmostEqual(rec.level(660, stop + MUSIC_FADE / 2), LEVEL / 2, delta=0.03)

    def test_two_overlapping_effects_are_both_heard_at_their_pitch(self):
        rec = self.recording
        fast = rec.first_time_above(3000, 0.05)
        self.assertIsNotNone(fast, "the 48 kHz effect was never heard")
        slow = rec.first_time_above(1000, 0.05, start=fast - 0.2)
        self.assertIsNotNone(slow, "the 22.05 kHz effect was never heard")
        # Started by one command, they sound together.
        self.assertLess(abs(fast - slow), 0.03)
        middle = fast + 0.5
        self.assertAlmostEqual(rec.level(3000, middle), LEVEL, delta=0.02)
        self.assertAlmostEqual(rec.level(1000, middle), LEVEL, delta=0.02)
        # Played at the wrong rate the slow tone would sound elsewhere, not at 1000 Hz.
        self.assertLess(rec.level(2177, middle), 0.01)
        self.assertLess(rec.level(440, middle) + rec.level(660, middle), 0.01)
        self.assertLess(rec.level(1000, fast + 1.3) + rec.level(3000, fast + 1.3), 0.01)

    def test_trace_shows_the_sound_events(self):
        kinds = [e["event"] for e in self.events]
        for kind in ("audio-output", "audio-session", "sound-play", "sound-fade", "sound-finish"):
            self.assertIn(kind, kinds)
        plays = {Path(e["file"]).name: e for e in self.events if e["event"] == "sound-play"}
        finishes = {Path(e["file"]).name: e for e in self.events if e["event"] == "sound-finish"}
        self.assertEqual(plays["low.caf"]["loops"], -1)
        self.assertEqual(plays["slow.caf"]["loops"], 0)
        for name in ("slow.caf", "fast.wav"):
            length = (finishes[name]["time"] - plays[name]["time"]) / 1000.0
            self.assertGreater(length, 0.9, name)
            self.assertLess(length, 1.6, name)
        # Music loops and never reports an end.
        self.assertNotIn("low.caf", finishes)
        self.assertNotIn("high.caf", finishes)


class AudioCommandLine(unittest.TestCase):
    def test_unwritable_recording_is_a_clear_error(self):
        with tempfile.TemporaryDirectory() as tmp:
            bundle = host.make_bundle(tmp)
            for target in (Path(tmp), Path(tmp) / "no-such-dir" / "x.wav"):
                result = subprocess_run(["--bundle", str(bundle), "--data-dir", tmp,
                                         "--audio-record", str(target)])
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("record", result.stderr)

    def test_mute_keeps_the_sound_card_silent_but_records_and_bad_sounds_play_nothing(self):
        script = """
        send('x://audio.prismora/playSound?name=broken');
        send('x://audio.prismora/playSound?name=empty');
        send('x://audio.prismora/playSound?name=..%2Foutside');
        send('x://audio.prismora/playSounds?names=,,');
        send('x://audio.prismora/playSound?name=beep');
        """
        for muted in (True, False):
            with self.subTest(muted=muted), tempfile.TemporaryDirectory() as tmp:
                bundle = host.make_bundle(tmp, extra=script)
                (bundle / "broken.caf").write_bytes(b"caff\0\1\0\0garbage")
                (bundle / "empty.caf").write_bytes(b"")
                write_caf(Path(tmp) / "outside.caf", 500, 1, 48000, 1)
                write_caf(bundle / "beep.caf", 2000, 0.5, 44100, 1)
                recording = Path(tmp) / "recording.wav"
                # SDL's disk driver stands in for a sound card: what it plays lands in a file.
                card = Path(tmp) / "card.raw"
                run = host.Run(bundle, tmp,
                               env={"SDL_AUDIODRIVER": "disk", "SDL_DISKAUDIOFILE": str(card)},
                               args=("--mute",) * muted + ("--audio-record", str(recording)))
                try:
                    run.wait_for(lambda r: any(e["event"] == "sound-finish" for e in r.events()),
                                 timeout=120, what="the beep's end")
                finally:
                    self.assertEqual(run.terminate(), 0, run.stderr())
                plays = [Path(e["file"]).name for e in run.events() if e["event"] == "sound-play"]
                self.assertEqual(plays, ["beep.caf"])
                rec = Recording(recording)
                heard = rec.first_time_above(2000, 0.1)
                self.assertIsNotNone(heard)
                self.assertLess(rec.level(500, heard + 0.2), 0.01)
                played = card.read_bytes() if card.exists() else b""
                # 32-bit floats, as the mixer hands them over.
                loudest = max((abs(s) for s in array.array("f", played[:len(played) // 4 * 4])),
                              default=0.0)
                if muted:
                    self.assertEqual(loudest, 0.0, "a muted run played on the sound card")
                else:
                    self.assertAlmostEqual(loudest, LEVEL, delta=0.02)


def subprocess_run(args):
    import subprocess
    return subprocess.run([host.BINARY, *args], capture_output=True, text=True, timeout=120)


if __name__ == "__main__":
    host.run_suite()
