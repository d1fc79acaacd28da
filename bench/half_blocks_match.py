#!/usr/bin/env python3
# How true half-block output is: its cells' colours, decoded as a terminal shows them, against the picture file box-averaged to the cells' halves.
import argparse
import re
import sys

import numpy as np
from PIL import Image

XTERM_SIXTEEN = [(0, 0, 0), (205, 0, 0), (0, 205, 0), (205, 205, 0), (0, 0, 238), (205, 0, 205), (0, 205, 205),
                 (229, 229, 229), (127, 127, 127), (255, 0, 0), (0, 255, 0), (255, 255, 0), (92, 92, 255),
                 (255, 0, 255), (0, 255, 255), (255, 255, 255)]
VGA_SIXTEEN = [(0, 0, 0), (170, 0, 0), (0, 170, 0), (170, 85, 0), (0, 0, 170), (170, 0, 170), (0, 170, 170),
               (170, 170, 170), (85, 85, 85), (255, 85, 85), (85, 255, 85), (255, 255, 85), (85, 85, 255),
               (255, 85, 255), (85, 255, 255), (255, 255, 255)]
CUBE = [0, 95, 135, 175, 215, 255]


def palette(sixteen):
    colours = list(sixteen)
    colours += [(CUBE[i // 36], CUBE[i // 6 % 6], CUBE[i % 6]) for i in range(216)]
    colours += [(8 + 10 * i,) * 3 for i in range(24)]
    return colours


def decode(data, colours):
    """The rows of cells as (top, bottom) colours; None where the terminal's default shows."""
    rows, row = [], []
    fg = bg = None
    at = 0
    text = data.decode('utf-8')
    sgr = re.compile(r'\x1b\[([0-9;]*)m')
    while at < len(text):
        m = sgr.match(text, at)
        if m:
            p = [int(n) if n else 0 for n in m.group(1).split(';')]
            i = 0
            while i < len(p):
                n = p[i]
                if n in (38, 48) and p[i + 1] == 2:
                    c, i = tuple(p[i + 2:i + 5]), i + 5
                elif n in (38, 48) and p[i + 1] == 5:
                    c, i = colours[p[i + 2]], i + 3
                else:
                    c, i = None, i + 1
                    if 30 <= n <= 37 or 40 <= n <= 47:
                        c = colours[n % 10]
                    elif 90 <= n <= 97 or 100 <= n <= 107:
                        c = colours[n % 10 + 8]
                    elif n == 0:
                        fg = bg = None
                        continue
                    elif n not in (39, 49):
                        sys.exit(f'unknown code {n}')
                    n = 38 if n in range(30, 40) or n in range(90, 98) else 48
                if n == 38:
                    fg = c
                else:
                    bg = c
            at = m.end()
        elif text.startswith('\x1b[', at):  # another control sequence (the cursor shown or hidden)
            at = re.compile(r'\x1b\[[0-9;?]*[@-~]').match(text, at).end()
        elif text[at] == '\n':
            rows.append(row)
            row = []
            at += 1
        else:
            glyph = text[at]
            halves = {'\u2580': (fg, bg), '\u2584': (bg, fg), ' ': (bg, bg), '\u2588': (fg, fg)}.get(glyph)
            if halves is None:
                sys.exit(f'unknown glyph {glyph!r}')
            row.append(halves)
            at += 1
    if row:
        rows.append(row)
    return rows


def shown(rows):
    """The picture the cells show: two pixels a cell, one above the other."""
    if any(half is None for row in rows for cell in row for half in cell):
        sys.exit('a cell shows the terminal\'s default colour')
    width = len(rows[0])
    if any(len(row) != width for row in rows):
        sys.exit('rows of unequal width')
    return np.array([[cell[h] for cell in row] for row in rows for h in (0, 1)], dtype=float)


def by_area(picture, width, height):
    """The picture scaled with each pixel weighed by the part of it a new pixel covers."""
    def weights(old, new):
        edges = np.arange(new + 1) * old / new
        starts, ends = edges[:-1, None], edges[1:, None]
        pixels = np.arange(old)[None, :]
        return np.clip(np.minimum(ends, pixels + 1) - np.maximum(starts, pixels), 0, None) * new / old
    return np.einsum('yi,ijc,xj->yxc', weights(picture.shape[0], height), picture, weights(picture.shape[1], width))


def box(picture, side):
    h, w = picture.shape[0] // side, picture.shape[1] // side
    return picture[:h * side, :w * side].reshape(h, side, w, side, 3).mean(axis=(1, 3))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('picture', help='the picture file')
    parser.add_argument('output', nargs='+', help='half-block bytes, one file each')
    parser.add_argument('--vga', action='store_true', help='the sixteen as the Linux console shows them')
    parser.add_argument('--area', type=int, default=1, help='also compare averages over AREA x AREA pixels')
    parser.add_argument('--exact', action='store_true',
                        help='against the file averaged by area exactly, not by the pixels whose centres fall in a cell '
                        '(what PIL\'s BOX does)')
    args = parser.parse_args()
    colours = palette(VGA_SIXTEEN if args.vga else XTERM_SIXTEEN)
    for name in args.output:
        with open(name, 'rb') as f:
            data = f.read()
        cells = shown(decode(data, colours))
        h, w = cells.shape[:2]
        picture = Image.open(args.picture).convert('RGB')
        if args.exact:
            want = by_area(np.asarray(picture, dtype=float), w, h)
        else:
            want = np.asarray(picture.resize((w, h), Image.BOX), dtype=float)
        line = f'{name}: {len(data)} bytes, {w} x {h // 2} cells'
        for side in sorted({1, args.area}):
            a, b = box(cells, side), box(want, side)
            r = np.corrcoef(a.ravel(), b.ravel())[0, 1]
            line += f'; over {side} x {side}: match {r:.4f}, mean difference {np.abs(a - b).mean():.2f}'
        print(line)


if __name__ == '__main__':
    main()
