#!/usr/bin/env python3
"""Synthesizes the default bundle's sounds as CAF files (16-bit PCM), so that the game is
audible without checking recordings into the repository.

Usage: make-sounds.py OUTPUT_DIR

Effects (short, decoded once and kept by the player): click, flip, move, undo, pop, drop,
win.
Music (long, streamed from disk): theme and track1 .. track9, each a seamless loop.
"""

import array
import math
import os
import struct
import sys

RATE = 22050


def write_caf(path, samples, rate=RATE, channels=1):
    pcm = array.array("h", (max(-32767, min(32767, int(round(s * 32767)))) for s in samples))
    if sys.byteorder == "little":
        pcm.byteswap()  # CAF's integer PCM is big-endian unless flagged otherwise
    data = pcm.tobytes()
    desc = struct.pack(">dIIIIII", float(rate), 0x6C70636D, 0, 2 * channels, 1, channels, 16)
    with open(path + ".tmp", "wb") as out:
        out.write(b"caff" + struct.pack(">HH", 1, 0))
        out.write(b"desc" + struct.pack(">q", len(desc)) + desc)
        out.write(b"data" + struct.pack(">q", len(data) + 4) + struct.pack(">I", 0) + data)
    os.replace(path + ".tmp", path)


def tone(frequency, seconds, level=0.5, attack=0.005, decay=None, shape="sine"):
    count = int(seconds * RATE)
    decay = decay if decay is not None else seconds
    out = []
    for i in range(count):
        t = i / RATE
        phase = 2 * math.pi * frequency * t
        wave = math.sin(phase) if shape == "sine" else (0.7 * math.sin(phase) + 0.3 * math.sin(2 * phase))
        envelope = min(1.0, t / attack) * math.exp(-t / decay * 4)
        out.append(level * wave * envelope)
    return out


def sweep(start, end, seconds, level=0.5):
    count = int(seconds * RATE)
    phase = 0.0
    out = []
    for i in range(count):
        t = i / RATE
        frequency = start + (end - start) * t / seconds
        phase += 2 * math.pi * frequency / RATE
        out.append(level * math.sin(phase) * math.exp(-t / seconds * 3))
    return out


def concatenate(*parts):
    out = []
    for part in parts:
        out.extend(part)
    return out


def loop(root, steps, beat):
    """A seamless loop of four bars: an arpeggio over a soft drone, starting and ending at
    silence of the same phase so that the repeat is not heard."""
    scale = [0, 2, 4, 7, 9, 12, 14, 16]
    count = int(len(steps) * beat * RATE)
    out = [0.0] * count
    drone = root / 2
    for i in range(count):
        t = i / RATE
        # A whole number of drone cycles per loop keeps the seam smooth.
        out[i] = 0.12 * math.sin(2 * math.pi * drone * t) * (0.6 + 0.4 * math.sin(math.pi * i / count) ** 2)
    for n, step in enumerate(steps):
        frequency = root * 2 ** (scale[step % len(scale)] / 12)
        note = tone(frequency, beat * 1.5, level=0.25, attack=0.01, decay=beat * 1.2, shape="warm")
        start = int(n * beat * RATE)
        for j, sample in enumerate(note):
            out[(start + j) % count] += sample
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    effects = {
        "click": tone(1800, 0.04, level=0.4, attack=0.001, decay=0.02),
        "flip": sweep(500, 1100, 0.08, level=0.45),
        "move": tone(660, 0.07, level=0.4, attack=0.002, decay=0.05, shape="warm"),
        "undo": sweep(1000, 450, 0.12, level=0.4),
        "pop": sweep(900, 300, 0.09, level=0.5),
        "drop": sweep(400, 120, 0.22, level=0.6),
        "win": concatenate(*(tone(f, 0.16, level=0.35, decay=0.3) for f in (523.25, 659.25, 783.99, 1046.5))),
    }
    for name, samples in effects.items():
        write_caf(os.path.join(folder, name + ".caf"), samples)

    # Sixteen beats of 0.75 s: twelve-second loops, long enough to be streamed.
    roots = [220.0, 246.94, 261.63, 196.0, 293.66, 174.61, 233.08, 207.65, 277.18]
    patterns = [
        [0, 2, 4, 2, 5, 4, 2, 1, 0, 2, 4, 6, 5, 4, 2, 0],
        [0, 4, 2, 5, 4, 6, 5, 7, 6, 4, 5, 2, 4, 1, 2, 0],
        [0, 1, 2, 4, 2, 1, 0, 3, 4, 5, 4, 3, 2, 1, 2, 0],
    ]
    for number in range(1, 10):
        samples = loop(roots[number - 1], patterns[number % 3], 0.75)
        write_caf(os.path.join(folder, "track%i.caf" % number), samples)
    write_caf(os.path.join(folder, "theme.caf"), loop(261.63, patterns[0], 0.75))


if __name__ == "__main__":
    main()
