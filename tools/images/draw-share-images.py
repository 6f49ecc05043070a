#!/usr/bin/env python3
"""Draws the small images of the share panel, the web dialog and the promotions (the
promotion button's medical.png, and alertbackground.png, the tile that fills the upgrade
offer's background) into resources/.

The images are plain shapes, drawn pixel by pixel so that no imaging library is needed.
To draw them again after changing a shape here, run from the project folder and commit
the PNGs:
    tools/images/draw-share-images.py resources
"""
import math
import sys
from pathlib import Path

from png import png


def inside_rounded(x, y, w, h, r):
    cx = min(max(x, r), w - r)
    cy = min(max(y, r), h - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def camera(x, y):
    w, h = 43, 43
    if math.hypot(x - w / 2, y - h / 2 - 2) < 8:
        return (40, 40, 40, 255) if math.hypot(x - w / 2, y - h / 2 - 2) < 5 else (230, 230, 230, 255)
    if 15 < x < 28 and 6 < y < 12:
        return (50, 50, 50, 255)
    if inside_rounded(x - 3, y - 10, w - 6, h - 16, 5):
        return (50, 50, 50, 255)
    return (0, 0, 0, 0)


def facebook_mark(size, x, y, radius):
    """The white "f" on blue of the share button and the dialog's icon."""
    s = size / 50
    if not inside_rounded(x, y, size, size, radius):
        return (0, 0, 0, 0)
    stem = 22 * s < x < 30 * s and 12 * s < y < 50 * s
    bar = 16 * s < x < 36 * s and 22 * s < y < 28 * s
    arch = 22 * s < x < 38 * s and 8 * s < y < 14 * s
    if stem or bar or arch:
        return (255, 255, 255, 255)
    return (59, 89, 152, 255)


def cancel_background(x, y):
    return (200, 60, 50, 255) if inside_rounded(x, y, 100, 26, 8) else (0, 0, 0, 0)


def placeholder(x, y):
    # A framed landscape: sky, a hill and a sun.
    if x < 4 or y < 4 or x > 176 or y > 116:
        return (255, 255, 255, 255)
    if math.hypot(x - 140, y - 30) < 12:
        return (250, 210, 70, 255)
    if y > 80 + 15 * math.sin(x / 25):
        return (90, 160, 90, 255)
    return (150, 200, 240, 255)


def close(x, y):
    d = math.hypot(x - 14.5, y - 14.5)
    if d > 11:
        return (0, 0, 0, 0)
    on_cross = abs((x - 14.5) - (y - 14.5)) < 2 or abs((x - 14.5) + (y - 14.5)) < 2
    if on_cross and d < 7:
        return (255, 255, 255, 255)
    return (80, 80, 80, 230)


def smoothed(shape, samples=4):
    """The shape's pixels averaged over a grid of points, so that its edges are not jagged."""
    def pixel(x, y):
        total = [0.0, 0.0, 0.0, 0.0]
        for i in range(samples):
            for j in range(samples):
                r, g, b, a = shape(x - 0.5 + (i + 0.5) / samples, y - 0.5 + (j + 0.5) / samples)
                for k, value in enumerate((r * a, g * a, b * a, a)):
                    total[k] += value
        alpha = total[3] / samples ** 2
        if alpha == 0:
            return (0, 0, 0, 0)
        return tuple(round(c / total[3]) for c in total[:3]) + (round(alpha),)
    return pixel


def medical(x, y):
    """The promotion button: a white cross on a red tile with a white rim."""
    size = 62
    if not inside_rounded(x, y, size, size, 14):
        return (0, 0, 0, 0)
    if not inside_rounded(x - 4, y - 4, size - 8, size - 8, 10):
        return (255, 255, 255, 255)
    centre = size / 2
    if (abs(x - centre) < 7 and abs(y - centre) < 19) or (abs(y - centre) < 7 and abs(x - centre) < 19):
        return (255, 255, 255, 255)
    shade = y / size
    return (round(226 - 40 * shade), round(64 - 30 * shade), round(60 - 20 * shade), 255)


def alert_tile(x, y):
    """A pale tile of soft diagonal weave that repeats seamlessly: every wave's period
    divides the tile's 24 pixels, so its right edge meets its left and its bottom its top."""
    size = 24
    rising = math.cos(2 * math.pi * (x + y) / 12)
    falling = math.cos(2 * math.pi * (x - y) / 12)
    dot = math.cos(2 * math.pi * x / size) * math.cos(2 * math.pi * y / size)
    shade = 5 * (rising + falling) + 4 * dot
    return (round(232 + shade), round(238 + shade), round(246 + shade * 0.6), 255)


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    images = {
        "shexiangtou.png": png(43, 43, camera),
        "facebook.png": png(50, 50, lambda x, y: facebook_mark(50, x, y, 8)),
        "3242.png": png(100, 26, cancel_background),
        "share.png": png(180, 120, placeholder),
        "FBDialog.bundle/images/fbicon.png": png(16, 16, lambda x, y: facebook_mark(16, x, y, 2)),
        "FBDialog.bundle/images/close.png": png(29, 29, close),
        "medical.png": png(62, 62, smoothed(medical)),
        "alertbackground.png": png(24, 24, alert_tile),
    }
    for name, data in images.items():
        path = out / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)


if __name__ == "__main__":
    main()
