#!/usr/bin/python3
"""Reads a screenshot of the calculator's window back into text cells, and checks the tones the
disk audio driver recorded.

  window_screen.py compare SHOT.ppm TRANSCRIPT FONT.cpp   the picture shows the transcript's final
                                                          screen cell by cell (date row excepted)
  window_screen.py find SHOT.ppm FONT.cpp TEXT            TEXT appears on the decoded screen
  window_screen.py absent SHOT.ppm FONT.cpp TEXT          TEXT does not appear
  window_screen.py tone AUDIO.raw                         the option-0 tone after the lead-in

A window larger than 640 x 400 must show the picture at the largest whole scale that fits, every
pixel a uniform square, centred on black; it is read back at 640 x 400.

A cell matches a character when its 8 x 16 pixels are exactly that character's glyph in two
colours of the text palette (the cursor line at pixel row 14 allowed in one cell). The glyphs are
read from the generated glyph source; the palette is the VGA text palette:
0 000000, 1 0000AA, 2 00AA00, 3 00AAAA, 4 AA0000, 5 AA00AA, 6 AA5500, 7 AAAAAA,
8 555555, 9 5555FF, 10 55FF55, 11 55FFFF, 12 FF5555, 13 FF55FF, 14 FFFF55, 15 FFFFFF.
"""
import math
import re
import struct
import sys

PALETTE = [0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
           0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF]
COLUMNS, ROWS, CELL_W, CELL_H, CURSOR_ROW = 80, 25, 8, 16, 14


def load_ppm(path):
    data = open(path, "rb").read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval, with comments allowed
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit("%s: not an 8-bit P6 image" % path)
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos:pos + width * height * 3]
    return width, height, pixels


def load_glyphs(path):
    glyphs = {}
    for m in re.finditer(r"\{((?:0x[0-9A-F]{2}, ){15}0x[0-9A-F]{2})\}, // 0x([0-9A-F]{2})", open(path).read()):
        glyphs[int(m.group(2), 16)] = [int(b, 16) for b in m.group(1).split(", ")]
    if len(glyphs) != 256:
        sys.exit("%s: found %d glyphs, expected 256" % (path, len(glyphs)))
    return glyphs


def unscale(width, height, pixels):
    """The 640 x 400 picture inside a window of width x height, and the window's scale."""
    w, h = COLUMNS * CELL_W, ROWS * CELL_H
    if width < w or height < h:
        sys.exit("window picture is %dx%d, smaller than 640x400" % (width, height))
    scale = min(width // w, height // h)
    ox, oy = (width - w * scale) // 2, (height - h * scale) // 2
    if scale == 1 and (ox, oy) == (0, 0):
        return pixels, scale
    rows = [pixels[y * width * 3:(y + 1) * width * 3] for y in range(height)]
    left, right = ox * 3, (ox + w * scale) * 3
    for y in range(height):
        row = rows[y]
        border = row if not oy <= y < oy + h * scale else row[:left] + row[right:]
        if border.count(0) != len(border):
            sys.exit("the border is not black in window row %d" % y)
    out = bytearray()
    for y in range(h):
        top = oy + y * scale
        line = rows[top][left:right]
        small = b"".join(line[x * scale * 3:x * scale * 3 + 3] for x in range(w))
        squares = b"".join(small[x * 3:x * 3 + 3] * scale for x in range(w))
        if squares != line or any(rows[top + dy][left:right] != line for dy in range(1, scale)):
            sys.exit("picture row %d is not made of %dx%d squares" % (y, scale, scale))
        out += small
    return bytes(out), scale


class Shot:
    def __init__(self, path, glyphs):
        width, height, pixels = load_ppm(path)
        self.pixels, self.scale = unscale(width, height, pixels)
        self.width, self.height = COLUMNS * CELL_W, ROWS * CELL_H
        self.glyphs = glyphs

    def cell(self, row, column):
        """The 16 rows of 8 RGB values of a cell (row, column counted from 1)."""
        out = []
        for y in range(CELL_H):
            base = (((row - 1) * CELL_H + y) * self.width + (column - 1) * CELL_W) * 3
            line = self.pixels[base:base + CELL_W * 3]
            out.append([(line[3 * x] << 16) | (line[3 * x + 1] << 8) | line[3 * x + 2] for x in range(CELL_W)])
        return out

    def match(self, pixels, code):
        """(foreground, background, cursor) when the cell shows `code`, else None."""
        colours = {c for line in pixels for c in line}
        if not colours <= set(PALETTE) or len(colours) > 2:
            return None
        choices = sorted(colours)
        pairs = [(f, b) for f in choices for b in choices]
        glyph = self.glyphs[code]
        for cursor in (False, True):
            for fg, bg in pairs:
                ok = True
                for y in range(CELL_H):
                    for x in range(CELL_W):
                        want = fg if (cursor and y == CURSOR_ROW) or (glyph[y] >> (7 - x)) & 1 else bg
                        if pixels[y][x] != want:
                            ok = False
                            break
                    if not ok:
                        break
                if ok:
                    return PALETTE.index(fg), PALETTE.index(bg), cursor
        return None

    def decode(self, row, column):
        """The most plausible character of a cell: blank before block, ASCII before the rest."""
        if not hasattr(self, "by_rows"):
            order = [0x20] + list(range(0x21, 0x7F)) + [c for c in range(256) if c < 0x20 or c >= 0x7F]
            self.by_rows, self.by_rows_no_cursor = {}, {}
            for code in order:
                g = tuple(self.glyphs[code])
                self.by_rows.setdefault(g, code)
                self.by_rows_no_cursor.setdefault(g[:CURSOR_ROW] + g[CURSOR_ROW + 1:], code)
        pixels = self.cell(row, column)
        colours = sorted({c for line in pixels for c in line})
        if not set(colours) <= set(PALETTE) or len(colours) > 2:
            return None
        if len(colours) == 1:
            return 0x20
        for fg in colours:
            rows = tuple(sum(((line[x] == fg) << (7 - x)) for x in range(CELL_W)) for line in pixels)
            if rows in self.by_rows:
                return self.by_rows[rows]
            if rows[CURSOR_ROW] == 0xFF:
                key = rows[:CURSOR_ROW] + rows[CURSOR_ROW + 1:]
                if key in self.by_rows_no_cursor:
                    return self.by_rows_no_cursor[key]
        return None

    def text(self):
        rows = []
        for r in range(1, ROWS + 1):
            codes = [self.decode(r, c) for c in range(1, COLUMNS + 1)]
            rows.append("".join("\ufffd" if c is None else bytes([c]).decode("cp437") for c in codes))
        return rows


def final_screen(transcript):
    lines = open(transcript, encoding="utf-8").read().split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    screen = lines[-ROWS:]
    out = []
    for line in screen:
        raw = line.encode("cp437", errors="replace")
        out.append((raw + b" " * COLUMNS)[:COLUMNS])
    return out


def compare(shot_path, transcript, font):
    shot = Shot(shot_path, load_glyphs(font))
    expected = final_screen(transcript)
    failures, cursors, checked = [], [], 0
    for r in range(1, ROWS + 1):
        row = expected[r - 1]
        skip = b"Date" in row  # the time of day differs between the two runs
        for c in range(1, COLUMNS + 1):
            pixels = shot.cell(r, c)
            if skip:
                if shot.decode(r, c) is None:
                    failures.append((r, c, "not a glyph in palette colours"))
                continue
            result = shot.match(pixels, row[c - 1])
            checked += 1
            if result is None:
                failures.append((r, c, "expected %r, shows %r" % (chr(row[c - 1]), shot.decode(r, c))))
            elif result[2]:
                cursors.append((r, c))
    if len(cursors) > 1:
        failures.append((0, 0, "cursor line in %d cells: %s" % (len(cursors), cursors)))
    for f in failures[:20]:
        print("row %d column %d: %s" % f)
    title = [r for r in range(ROWS) if b"CO2 solubility in water" in expected[r]]
    report = [r for r in range(ROWS) if b"Density of solution" in expected[r]]
    if not title or not report:
        failures.append((0, 0, "reference lacks the title box or the report row"))
        print("reference screen lacks the title box or the report row")
    else:
        r = report[0] + 1
        colours = shot.match(shot.cell(r, 7), expected[r - 1][6])
        print("report row %d colours (fg, bg): %s" % (r, colours[:2] if colours else None))
        if colours is None or colours[:2] != (7, 0):
            failures.append((r, 7, "report text not light grey on black"))
    print("%d cells compared, %d failures, cursor at %s" % (checked, len(failures), cursors))
    return 0 if not failures else 1


def find(shot_path, font, text, want):
    rows = Shot(shot_path, load_glyphs(font)).text()
    present = any(text in row for row in rows)
    if present != want:
        print("\n".join(rows))
        print("%r %s on the screen" % (text, "not found" if want else "still"))
        return 1
    return 0


def tone(path):
    """The option-0 tone of the full program: after at least 8192 silent frames, a 200 Hz
    triangle of amplitude 32767 lasting 2316 frames (21 whole periods of 110.25 frames; 2423
    frames before the cut), identical in both channels."""
    data = open(path, "rb").read()
    frames = len(data) // 4
    samples = struct.unpack("<%dh" % (frames * 2), data[:frames * 4])
    left, right = samples[0::2], samples[1::2]
    if left != right:
        print("channels differ")
        return 1
    first = next((i for i, s in enumerate(left) if s != 0), None)
    if first is None:
        print("no tone in %d frames" % frames)
        return 1
    start = first - 1
    failures = []
    if start < 8192:
        failures.append("tone starts at frame %d, before the end of the 8192-frame lead-in" % start)

    def ideal(i):
        p = (200.0 * i / 22050) % 1.0
        v = 4 * p if p < 0.25 else (2 - 4 * p if p < 0.75 else 4 * p - 4)
        return int(round(v * 32767))

    length = 2316
    worst = max(abs(left[start + i] - ideal(i)) for i in range(min(length, frames - start)))
    if worst > 1:
        failures.append("tone differs from the ideal 200 Hz triangle by %d" % worst)
    peak = max(left[start:start + length])
    if peak < 32767 - 600 or peak > 32767:
        failures.append("peak %d is not full amplitude" % peak)
    after = left[start + length:start + length + 2048]
    if any(after):
        failures.append("sound continues after the cut at frame %d" % (start + length))
    print("tone at frame %d, %d frames, peak %d, worst deviation %d" % (start, length, peak, worst))
    for f in failures:
        print(f)
    return 0 if not failures else 1


def main():
    cmd = sys.argv[1] if len(sys.argv) > 1 else ""
    if cmd == "compare" and len(sys.argv) == 5:
        return compare(*sys.argv[2:5])
    if cmd in ("find", "absent") and len(sys.argv) == 5:
        return find(sys.argv[2], sys.argv[3], sys.argv[4], cmd == "find")
    if cmd == "tone" and len(sys.argv) == 3:
        return tone(sys.argv[2])
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main())
