#!/usr/bin/env python3
"""Finds the picture in a screenshot and compares it with the saved file.

The picture is the largest solid block of the screen: pixels whose whole
3 x 3 neighbourhood differs from the background. Text is strokes a pixel or
two wide and drops out; tmux's status bar is solid too, but one text row high.
Both the found area and the saved picture are averaged down to what the
screen shows of the picture: its pixels, or its cells where a cell shows one
colour. The mean and the largest difference of those, per channel out of 255,
must stay within the tolerances given, and the area must be square. Where
SIDE is given (not 0), the picture must be that many half blocks wide and half
as many high, give or take one; a dithered picture is compared AVERAGED × AVERAGED blocks together,
as the eye sees it. The correlation of the two is printed too.

usage: compare.py SCREENSHOT SAVED.bmp MEAN_TOLERANCE MAX_TOLERANCE [SIDE [AVERAGED]]
"""
import sys

from PIL import Image, ImageChops, ImageFilter

def longest_run(flags, gap=2):
    """(start, end) of the longest run of true flags, allowing short gaps."""
    best, start, last = (0, 0), None, None
    for i, on in enumerate(flags):
        if not on:
            continue
        if start is None or i - last > gap + 1:
            start = i
        last = i
        if last + 1 - start > best[1] - best[0]:
            best = (start, last + 1)
    return best


def cell_size(picture, horizontal):
    """The period of the colour changes across the picture: 1 where every
    pixel is its own, the cell's size (or half its height) where a cell shows
    one colour. Cells start at the picture's edge."""
    w, h = picture.size
    px = picture.load()
    length, across = (w, h) if horizontal else (h, w)
    at = (lambda i, j: px[i, j]) if horizontal else (lambda i, j: px[j, i])
    change = [0] * length
    for i in range(1, length):
        change[i] = sum(sum(abs(a - b) for a, b in zip(at(i, j), at(i - 1, j))) for j in range(0, across, 3))
    # Cells start where the picture does, give or take the edge pixel the
    # box may have taken or left: every phase of each period is tried.
    scores = {p: max(sum(change[f::p]) / len(change[f::p]) for f in range(1, p + 1)) for p in range(1, 41)}
    best = max(scores.values())
    return min(p for p, score in scores.items() if score >= 0.8 * best)


def picture_box(shot):
    w, h = shot.size
    background = max(shot.getcolors(w * h))[1]
    differs = ImageChops.difference(shot, Image.new("RGB", shot.size, background)).convert("L")
    solid = differs.point(lambda v: 255 if v > 8 else 0).filter(ImageFilter.MinFilter(3))
    mask = list(solid.getdata())
    rows = [sum(1 for v in mask[y * w:(y + 1) * w] if v) for y in range(h)]
    top, bottom = longest_run([count >= 40 for count in rows])
    columns = [0] * w
    for y in range(top, bottom):
        for x, v in enumerate(mask[y * w:(y + 1) * w]):
            if v:
                columns[x] += 1
    left, right = longest_run([count >= (bottom - top) // 2 for count in columns])
    # the filter took a pixel off each side
    return max(0, left - 1), max(0, top - 1), min(w, right + 1), min(h, bottom + 1)


def main():
    shot = Image.open(sys.argv[1]).convert("RGB")
    saved = Image.open(sys.argv[2]).convert("RGB")
    mean_tolerance, max_tolerance = float(sys.argv[3]), float(sys.argv[4])
    side = int(sys.argv[5]) if len(sys.argv) > 5 else 0
    averaged = int(sys.argv[6]) if len(sys.argv) > 6 else 1
    box = picture_box(shot)
    width, height = box[2] - box[0], box[3] - box[1]
    found = shot.crop(box)
    columns = round(width / cell_size(found, horizontal=True))
    rows = round(height / cell_size(found, horizontal=False))
    found = found.resize((columns, rows), Image.BOX)
    size = (max(1, columns // averaged), max(1, rows // averaged))
    found = found.resize(size, Image.BOX)
    wanted = saved.resize(size, Image.BOX)
    a = [v for p in found.getdata() for v in p]
    b = [v for p in wanted.getdata() for v in p]
    diffs = [abs(x - y) for x, y in zip(a, b)]
    mean, largest = sum(diffs) / len(diffs), max(diffs)
    ma, mb = sum(a) / len(a), sum(b) / len(b)
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    spread = (sum((x - ma) ** 2 for x in a) * sum((y - mb) ** 2 for y in b)) ** 0.5
    correlation = cov / spread if spread else 0
    aspect = width / height if height else 0
    print(f"picture at {box[0]},{box[1]} size {width}x{height} (aspect {aspect:.3f}) in {columns}x{rows} blocks"
          + (f" (want {side}x{side // 2})" if side else "") + f"; compared in {size[0]}x{size[1]}: difference mean {mean:.2f} "
          f"largest {largest} (allowed {mean_tolerance}, {max_tolerance}), correlation {correlation:.3f}")
    ok = min(width, height) >= 100 and 0.9 <= aspect <= 1.1 and mean <= mean_tolerance and largest <= max_tolerance
    if side and (abs(columns - side) > 1 or abs(rows - side // 2) > 1):  # a cell, two pixels high
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
