#!/usr/bin/env python3
"""Draws the launch images into resources/: the one scene, the game's title over a
gradient, at the phone's and at the tablet's size.

    tools/images/draw-launch-images.py resources [FONT_DIR]

Default.png is the phone's, upright (320x480) with the scene turned, as the host turns it
to landscape. Default-Landscape.png is the tablet's (1024x768), shown as it is. The
lettering is DejaVu Sans (FONT_DIR, by default where Debian's fonts-dejavu-core puts it).
"""
import sys
from pathlib import Path

from png import png
from truetype import Font, coverage

TOP = (29, 53, 87)
BOTTOM = (69, 123, 157)
WHITE = (255, 255, 255)

# The phone's landscape measures: the other sizes are the same scene scaled.
BASE_WIDTH, BASE_HEIGHT = 480, 320
# (text, font file, size, baseline, opacity) on the phone's landscape.
LINES = [
    ("Tumbla", "DejaVuSans-Bold.ttf", 48, 166, 1.0),
    ("loading…", "DejaVuSans.ttf", 16, 205, 0.9),
]


def scene(width, height, font_dir):
    """The pixel function of the landscape scene at width x height."""
    scale = min(width / BASE_WIDTH, height / BASE_HEIGHT)
    lettering = []
    for text, font_file, size, baseline, opacity in LINES:
        font = Font(font_dir / font_file)
        left = (width - font.width(text, size * scale)) / 2
        baseline_here = height / 2 + (baseline - BASE_HEIGHT / 2) * scale
        shape = font.polygons(text, size * scale, left, baseline_here)
        lettering.append((coverage(shape, width, height), opacity))

    def pixel(x, y):
        share = y / height
        colour = [top + (bottom - top) * share for top, bottom in zip(TOP, BOTTOM)]
        for covered, opacity in lettering:
            alpha = covered.get((int(x), int(y)), 0.0) * opacity
            colour = [c + (w - c) * alpha for c, w in zip(colour, WHITE)]
        return (*(round(c) for c in colour), 255)

    return pixel


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "resources")
    font_dir = Path(sys.argv[2] if len(sys.argv) > 2 else "/usr/share/fonts/truetype/dejavu")
    phone = scene(BASE_WIDTH, BASE_HEIGHT, font_dir)
    # Upright: the host turns the image a quarter counter-clockwise, so it is drawn turned
    # a quarter clockwise.
    upright = png(BASE_HEIGHT, BASE_WIDTH, lambda x, y: phone(y, BASE_HEIGHT - x))
    (out / "Default.png").write_bytes(upright)
    (out / "Default-Landscape.png").write_bytes(png(1024, 768, scene(1024, 768, font_dir)))


if __name__ == "__main__":
    main()
