#!/usr/bin/env python3
"""Draws icon 101 (a red parabola over black axes in a green frame) and writes
src/res/icon_data.cpp: three images, 16 x 16 and 64 x 64 in 256 colours and
32 x 32 in the 16 standard colours, each with a transparency mask; and, from the
same images, the desktop icons packaging/icons/lumicurve-{16,32,48,64,128}.png and the
same drawing as packaging/icons/lumicurve.svg.

usage: make_icon.py REPOSITORY"""
import os
import struct
import sys
import zlib

SS = 4  # supersampling per pixel side


def coverage(size):
    """Per pixel: (frame, axis, curve, inside) coverage in 0..1."""
    n = size * SS
    frame = [[0.0] * size for _ in range(size)]
    axis = [[0.0] * size for _ in range(size)]
    curve = [[0.0] * size for _ in range(size)]
    inside = [[0.0] * size for _ in range(size)]
    s = size / 32.0  # design units are a 32 x 32 cell
    lw = max(1.0, 1.25 * s)  # line width in pixels
    for yy in range(n):
        for xx in range(n):
            px = (xx + 0.5) / SS
            py = (yy + 0.5) / SS
            x = px / s
            y = py / s
            i, j = int(px), int(py)
            w = 1.0 / (SS * SS)
            # rounded square 1..31
            if 1 <= x <= 31 and 1 <= y <= 31:
                inside[j][i] += w
                edge = min(x - 1, 31 - x, y - 1, 31 - y) * s
                if edge < lw:
                    frame[j][i] += w
                    continue
            else:
                continue
            # axes crossing at (12, 22) in design units
            if abs(px - 12 * s) < lw / 2 and 4 <= y <= 29 or abs(py - 22 * s) < lw / 2 and 3 <= x <= 29:
                axis[j][i] += w
            # the parabola y = 27 - 0.28 (x - 17)^2, opening upward on screen
            fy = (y - (27.0 - 0.28 * (x - 17.0) ** 2))
            slope = -0.56 * (x - 17.0)
            d = abs(fy) / (1 + slope * slope) ** 0.5 * s
            if d < lw * 0.75 and 4 <= x <= 30 and 3 <= y <= 29:
                curve[j][i] += w
    return frame, axis, curve, inside


WHITE = (255, 255, 255)
BLACK = (0, 0, 0)
RED = (255, 0, 0)
GREEN = (0, 120, 0)


def mix(a, b, t):
    return tuple(round(a[k] * (1 - t) + b[k] * t) for k in range(3))


def pixel_colour(f, a, c):
    col = WHITE
    col = mix(col, BLACK, min(1, a))
    col = mix(col, RED, min(1, c))
    col = mix(col, GREEN, min(1, f))
    return col


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    pal = []
    for base in (BLACK, RED, GREEN):
        for k in range(32):
            pal.append(mix(WHITE, base, k / 31))
    for k in range(256 - len(pal)):
        pal.append((0, 0, 0))
    return pal


def nearest(pal, col, used):
    best = min(range(used), key=lambda k: sum((pal[k][m] - col[m]) ** 2 for m in range(3)))
    return best


def image(size, colours):
    frame, axis, curve, inside = coverage(size)
    pal = VGA16 if colours == 16 else palette256()
    used = 16 if colours == 16 else 96
    idx = []
    mask = []
    for j in range(size):
        for i in range(size):
            col = pixel_colour(frame[j][i], axis[j][i], curve[j][i])
            if colours == 16:
                # crisp: strongest feature wins
                f, a, c = frame[j][i], axis[j][i], curve[j][i]
                col = WHITE
                if a > 0.35:
                    col = BLACK
                if c > 0.35:
                    col = RED
                if f > 0.35:
                    col = (0, 128, 0)
            idx.append(nearest(pal, col, used))
            mask.append(1 if inside[j][i] < 0.5 else 0)  # 1: transparent
    return pal[:used] if colours == 16 else pal, idx, mask


def emit(out):
    out.write("// Icon 101, drawn by tools/icon/make_icon.py; do not edit by hand.\n")
    out.write("// clang-format off\n")
    out.write('#include "res/resources.h"\n\nnamespace res {\nnamespace {\n\n')
    specs = [(32, 16), (16, 256), (64, 256)]
    for size, colours in specs:
        pal, idx, mask = image(size, colours)
        name = f"icon{size}"
        out.write(f"constexpr std::uint32_t {name}Palette[] = {{\n")
        for k in range(0, len(pal), 8):
            out.write("    " + ", ".join(f"0x{r:02X}{g:02X}{b:02X}" for r, g, b in pal[k:k + 8]) + ",\n")
        out.write("};\n")
        out.write(f"constexpr std::uint8_t {name}Pixels[] = {{\n")
        for j in range(size):
            row = idx[j * size:(j + 1) * size]
            out.write("    " + ",".join(str(v) for v in row) + ",\n")
        out.write("};\n")
        out.write(f"constexpr std::uint8_t {name}Mask[] = {{\n")
        for j in range(size):
            row = mask[j * size:(j + 1) * size]
            out.write("    " + ",".join(str(v) for v in row) + ",\n")
        out.write("};\n\n")
    out.write("} // namespace\n\n")
    out.write("extern const IconResource kIcon101;\nconst IconResource kIcon101 = {\n    101,\n    {{\n")
    for size, colours in specs:
        name = f"icon{size}"
        out.write(f"        {{{size}, {size}, {colours}, {name}Palette, {name}Pixels, {name}Mask}},\n")
    out.write("    }},\n};\n\n} // namespace res\n")


def write_png(path, size, colours):
    pal, idx, mask = image(size, colours)
    rows = b""
    for j in range(size):
        rows += b"\0"
        for i in range(size):
            k = j * size + i
            r, g, b = pal[idx[k]]
            rows += bytes((r, g, b, 0 if mask[k] else 255))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(rows, 9)))
        f.write(chunk(b"IEND", b""))


SVG = """<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 32 32">
  <rect x="1.6" y="1.6" width="28.8" height="28.8" fill="#ffffff" stroke="#007800" stroke-width="1.25"/>
  <path d="M12 4 V29 M3 22 H29" stroke="#000000" stroke-width="1.25" fill="none"/>
  <path d="M7.74 3 Q17 51 26.26 3" stroke="#ff0000" stroke-width="1.6" fill="none"/>
</svg>
"""


if __name__ == "__main__":
    top = sys.argv[1]
    with open(os.path.join(top, "src/res/icon_data.cpp"), "w") as f:
        emit(f)
    icons = os.path.join(top, "packaging/icons")
    os.makedirs(icons, exist_ok=True)
    for size, colours in ((16, 256), (32, 16), (48, 256), (64, 256), (128, 256)):
        write_png(os.path.join(icons, f"lumicurve-{size}.png"), size, colours)
    with open(os.path.join(icons, "lumicurve.svg"), "w") as f:
        f.write(SVG)
