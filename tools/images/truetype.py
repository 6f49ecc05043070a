"""Text as filled outlines, read from a TrueType font, so that images with lettering need
no imaging library: the glyphs' quadratic contours are flattened into polygons and
filled by coverage with the nonzero rule."""
import struct


class Font:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        count = struct.unpack_from(">H", self.data, 4)[0]
        self.tables = {}
        for i in range(count):
            tag, _, offset, _ = struct.unpack_from(">4sIII", self.data, 12 + 16 * i)
            self.tables[tag.decode("latin-1")] = offset
        head = self.tables["head"]
        self.units_per_em = struct.unpack_from(">H", self.data, head + 18)[0]
        self.long_offsets = struct.unpack_from(">h", self.data, head + 50)[0] == 1
        self.metric_count = struct.unpack_from(">H", self.data, self.tables["hhea"] + 34)[0]
        self.glyph_of = self.read_character_map()

    def read_character_map(self):
        """Characters of the Basic Multilingual Plane to glyph indices (a format 4 map)."""
        cmap = self.tables["cmap"]
        for i in range(struct.unpack_from(">H", self.data, cmap + 2)[0]):
            platform, encoding, offset = struct.unpack_from(">HHI", self.data, cmap + 4 + 8 * i)
            table = cmap + offset
            unicode = (platform, encoding) in ((3, 1), (0, 3))
            if unicode and struct.unpack_from(">H", self.data, table)[0] == 4:
                break
        else:
            raise ValueError("the font has no Unicode character map of format 4")
        segments = struct.unpack_from(">H", self.data, table + 6)[0] // 2
        ends = table + 14
        starts = ends + 2 * segments + 2
        deltas = starts + 2 * segments
        range_offsets = deltas + 2 * segments
        glyph_of = {}
        for s in range(segments):
            end, start = (struct.unpack_from(">H", self.data, at + 2 * s)[0] for at in (ends, starts))
            delta = struct.unpack_from(">h", self.data, deltas + 2 * s)[0]
            range_offset = struct.unpack_from(">H", self.data, range_offsets + 2 * s)[0]
            for code in range(start, min(end, 0xFFFE) + 1):
                if range_offset == 0:
                    glyph = (code + delta) & 0xFFFF
                else:
                    at = range_offsets + 2 * s + range_offset + 2 * (code - start)
                    glyph = struct.unpack_from(">H", self.data, at)[0]
                    glyph = (glyph + delta) & 0xFFFF if glyph else 0
                glyph_of[chr(code)] = glyph
        return glyph_of

    def advance(self, glyph):
        index = min(glyph, self.metric_count - 1)
        return struct.unpack_from(">H", self.data, self.tables["hmtx"] + 4 * index)[0]

    def glyph_range(self, glyph):
        loca = self.tables["loca"]
        if self.long_offsets:
            start, end = struct.unpack_from(">II", self.data, loca + 4 * glyph)
        else:
            start, end = (2 * v for v in struct.unpack_from(">HH", self.data, loca + 2 * glyph))
        return self.tables["glyf"] + start, end - start

    def contours(self, glyph):
        """The glyph's contours in font units, each a list of (x, y, on_curve)."""
        at, length = self.glyph_range(glyph)
        if length == 0:
            return []
        count = struct.unpack_from(">h", self.data, at)[0]
        return self.simple_contours(at, count) if count >= 0 else self.composite_contours(at)

    def simple_contours(self, at, count):
        ends = struct.unpack_from(">%dH" % count, self.data, at + 10)
        points = ends[-1] + 1 if count else 0
        at += 10 + 2 * count
        at += 2 + struct.unpack_from(">H", self.data, at)[0]  # instructions
        flags = []
        while len(flags) < points:
            flag = self.data[at]
            at += 1
            repeat = 1
            if flag & 8:
                repeat += self.data[at]
                at += 1
            flags += [flag] * repeat

        def coordinates(short_bit, same_bit):
            nonlocal at
            values, value = [], 0
            for flag in flags:
                if flag & short_bit:
                    value += self.data[at] if flag & same_bit else -self.data[at]
                    at += 1
                elif not flag & same_bit:
                    value += struct.unpack_from(">h", self.data, at)[0]
                    at += 2
                values.append(value)
            return values

        xs = coordinates(2, 16)
        ys = coordinates(4, 32)
        result, first = [], 0
        for end in ends:
            result.append([(xs[i], ys[i], bool(flags[i] & 1)) for i in range(first, end + 1)])
            first = end + 1
        return result

    def composite_contours(self, at):
        at += 10
        result = []
        while True:
            flags, glyph = struct.unpack_from(">HH", self.data, at)
            at += 4
            if flags & 1:
                dx, dy = struct.unpack_from(">hh", self.data, at)
                at += 4
            else:
                dx, dy = struct.unpack_from(">bb", self.data, at)
                at += 2
            if not flags & 2:
                raise ValueError("composite glyphs placed by point numbers are not supported")
            a, b, c, d = 1.0, 0.0, 0.0, 1.0
            if flags & 8:
                a = d = struct.unpack_from(">h", self.data, at)[0] / 16384
                at += 2
            elif flags & 0x40:
                a, d = (v / 16384 for v in struct.unpack_from(">hh", self.data, at))
                at += 4
            elif flags & 0x80:
                a, b, c, d = (v / 16384 for v in struct.unpack_from(">hhhh", self.data, at))
                at += 8
            for contour in self.contours(glyph):
                result.append([(a * x + c * y + dx, b * x + d * y + dy, on) for x, y, on in contour])
            if not flags & 0x20:
                return result

    def width(self, text, size):
        return sum(self.advance(self.glyph_of.get(ch, 0)) for ch in text) * size / self.units_per_em

    def polygons(self, text, size, left, baseline):
        """The text's outlines as polygons in pixels (y down), starting at `left` on `baseline`."""
        scale = size / self.units_per_em
        result = []
        pen = left
        for ch in text:
            glyph = self.glyph_of.get(ch, 0)
            for contour in self.contours(glyph):
                points = [(pen + x * scale, baseline - y * scale, on) for x, y, on in contour]
                result.append(flatten(points))
            pen += self.advance(glyph) * scale
        return result


def flatten(points, steps=8):
    """A closed quadratic contour as a polygon. Two off-curve points in a row have an
    implied on-curve point halfway between them."""
    if not any(on for _, _, on in points):
        first = points[0]
        points = [((first[0] + points[-1][0]) / 2, (first[1] + points[-1][1]) / 2, True)] + points
    start = next(i for i, p in enumerate(points) if p[2])
    points = points[start:] + points[:start]
    polygon = [points[0][:2]]
    current = points[0][:2]
    control = None
    for x, y, on in points[1:] + points[:1]:
        if on:
            if control is None:
                polygon.append((x, y))
            else:
                polygon += curve(current, control, (x, y), steps)
            current, control = (x, y), None
        elif control is None:
            control = (x, y)
        else:
            middle = ((control[0] + x) / 2, (control[1] + y) / 2)
            polygon += curve(current, control, middle, steps)
            current, control = middle, (x, y)
    return polygon


def curve(p0, p1, p2, steps):
    return [((1 - t) ** 2 * p0[0] + 2 * (1 - t) * t * p1[0] + t * t * p2[0],
             (1 - t) ** 2 * p0[1] + 2 * (1 - t) * t * p1[1] + t * t * p2[1])
            for t in (i / steps for i in range(1, steps + 1))]


def coverage(polygons, width, height, subrows=4):
    """How much of each pixel the polygons cover (0 to 1, nonzero rule): {(x, y): share}."""
    edges = [(a, b) for polygon in polygons for a, b in zip(polygon, polygon[1:] + polygon[:1])
             if a[1] != b[1]]
    covered = {}
    if not edges:
        return covered
    top = max(0, int(min(min(a[1], b[1]) for a, b in edges)))
    bottom = min(height, int(max(max(a[1], b[1]) for a, b in edges)) + 1)
    for row in range(top, bottom):
        for sub in range(subrows):
            y = row + (sub + 0.5) / subrows
            crossings = sorted(
                (a[0] + (y - a[1]) * (b[0] - a[0]) / (b[1] - a[1]), 1 if b[1] > a[1] else -1)
                for a, b in edges if min(a[1], b[1]) <= y < max(a[1], b[1]))
            winding = 0
            for (x0, direction), (x1, _) in zip(crossings, crossings[1:]):
                winding += direction
                if winding:
                    add_span(covered, row, max(0.0, x0), min(float(width), x1), 1 / subrows)
    return covered


def add_span(covered, row, x0, x1, weight):
    x = int(x0)
    while x < x1:
        share = min(x1, x + 1) - max(x0, x)
        if share > 0:
            covered[(x, row)] = min(1.0, covered.get((x, row), 0.0) + share * weight)
        x += 1
