#!/usr/bin/env python3
"""Finds the picture in a screenshot and compares it with the saved file.

The picture is found by where it is and what it is made of, never by its
colours, which may be any (eight colours, dithered, are all common):
- The background is what the screen's bottom row shows, below every line.
- Its rows are those mostly covered by solid pixels: pixels whose whole 3 x 3
  neighbourhood differs from the background. Text is strokes a pixel or two
  wide and drops out; the cells of the picture that are the background's own
  colour are holes in its rows, not gaps between them. Nothing else is drawn
  on the picture's rows, so its sides are its rows' outermost solid pixels.
- The line that names the file is right above it.
- Its grid: the lines across which the colour changes. A change spread over
  two pixels is one edge (a glyph's edge between pixels); changes at every
  pixel are a picture of pixels. Half blocks show two pixels a cell.
Both the found area and the saved picture are averaged down to what the
screen shows of the picture: its pixels, or its cells for half blocks (a
cell's two halves together, since a glyph need not split the cell exactly).
The mean and the largest difference of those, per channel out of 255, must
stay within the tolerances given, the two must be correlated, and the area
must be square on the screen. Where ROWS is given (not 0), the picture is
half blocks and must take that many rows, and COLUMNS columns, or where
COLUMNS is 0 (the terminal told the program its cells' shape) as many as
make it square within SQUARE; a dithered picture is
compared AVERAGED x AVERAGED cells together, as the eye sees it. OTHER,
another picture, must not pass for it.

usage: compare.py SCREENSHOT SAVED.bmp MEAN_TOLERANCE MAX_TOLERANCE [COLUMNS ROWS [AVERAGED [OTHER.bmp]]]
"""
import sys

from PIL import Image, ImageChops, ImageFilter

BACKGROUND = 8  # a pixel this close to the background is background
ROW_COVERED = 0.25  # a picture's row, dithered in eight colours: 0.38 and up; text rows: 0.12 at most
CHANGE = 24  # a colour change across an edge, summed over the channels
EDGE = 0.5  # the share of an edge's length the colour changes on
SMALLEST = 100  # pixels a side
ASPECT = 0.1  # the on-screen width over the height: 1, give or take this
SQUARE = 0.04  # ... and this, for half blocks in cells of a shape the program knows
# Dithered and averaged, another picture can come as close as the picture
# (8 off against 5), but follows it nowhere: 0.05 against 0.78 and up.
CORRELATED = 0.5


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


def differs_from_background(shot):
    w, h = shot.size
    background = max(shot.crop((0, h - 1, w, h)).getcolors(w))[1]
    differs = ImageChops.difference(shot, Image.new("RGB", shot.size, background)).convert("L")
    return differs.point(lambda v: 255 if v > BACKGROUND else 0)


def picture_box(shot):
    """(left, top, right, bottom) of the picture, or None."""
    w, h = shot.size
    solid = list(differs_from_background(shot).filter(ImageFilter.MinFilter(3)).getdata())
    spans = []
    for y in range(h):
        xs = [x for x in range(w) if solid[y * w + x]]
        covered = len(xs) >= 40 and len(xs) >= ROW_COVERED * (xs[-1] + 1 - xs[0])
        spans.append((xs[0], xs[-1] + 1) if covered else None)
    top, bottom = longest_run([span is not None for span in spans])
    if bottom == top:
        return None
    left = min(span[0] for span in spans[top:bottom] if span)
    right = max(span[1] for span in spans[top:bottom] if span)
    # the filter took a pixel off each side
    return max(0, left - 1), max(0, top - 1), min(w, right + 1), min(h, bottom + 1)


def named_above(shot, box, strip=10):
    """Whether something (the line naming the file) is drawn just above."""
    left, top, right, _ = box
    above = differs_from_background(shot.crop((left, max(0, top - strip), right, top)))
    return top >= strip and sum(1 for v in above.getdata() if v) >= 10


def edges(picture, horizontal):
    """How many places across the picture its colour changes at, one way."""
    w, h = picture.size
    px = picture.load()
    length, across = (w, h) if horizontal else (h, w)
    at = (lambda i, j: px[i, j]) if horizontal else (lambda i, j: px[j, i])
    on = []
    for i in range(1, length):
        changes = sum(1 for j in range(across) if sum(abs(a - b) for a, b in zip(at(i, j), at(i - 1, j))) > CHANGE)
        on.append(changes >= EDGE * across)
    # Runs of changes: one or two boundaries long, an edge, unless it is the
    # blended border of the picture itself; longer, a change at every pixel.
    count, start = 0, None
    for i, flag in enumerate(on + [False]):
        if flag and start is None:
            start = i
        elif not flag and start is not None:
            if i - start > 2:
                count += i - start
            elif start > 1 and i < len(on) - 1:
                count += 1
            start = None
    return count


def spans(source, target):
    """For each new pixel along one side, the old ones it covers and how much
    of each, summing to 1."""
    out = []
    for i in range(target):
        low, high = i * source / target, (i + 1) * source / target
        first, cover = int(low), []
        for j in range(first, min(source, -int(-high // 1))):
            cover.append((j, (min(high, j + 1) - max(low, j)) * target / source))
        out.append(cover)
    return out


def area_average(picture, size):
    """The picture at `size`, each new pixel the average of the old pixels it
    covers, each weighed by how much of it it covers, as the program scales.
    (PIL's BOX filter counts some old pixels wholly in one new pixel: against
    it, a true area average is several levels off.) A list of (r, g, b)."""
    w, h = picture.size
    px = picture.load()
    across, down = spans(w, size[0]), spans(h, size[1])
    rows = [[tuple(sum(px[j, y][c] * f for j, f in cover) for c in range(3)) for cover in across] for y in range(h)]
    return [tuple(sum(rows[j][x][c] * f for j, f in cover) for c in range(3))
            for cover in down for x in range(size[0])]


def difference(found, picture, size):
    """Mean and largest difference per channel, and the correlation."""
    a = [v for p in found.getdata() for v in p]
    b = [round(v) for p in area_average(picture, size) for v in p]
    diffs = [abs(x - y) for x, y in zip(a, b)]
    ma, mb = sum(a) / len(a), sum(b) / len(b)
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    spread = (sum((x - ma) ** 2 for x in a) * sum((y - mb) ** 2 for y in b)) ** 0.5
    return sum(diffs) / len(diffs), max(diffs), cov / spread if spread else 0


def main():
    shot = Image.open(sys.argv[1]).convert("RGB")
    saved = Image.open(sys.argv[2]).convert("RGB")
    mean_tolerance, max_tolerance = float(sys.argv[3]), float(sys.argv[4])
    want = (int(sys.argv[5]), int(sys.argv[6])) if len(sys.argv) > 6 else (0, 0)
    averaged = int(sys.argv[7]) if len(sys.argv) > 7 else 1
    other = Image.open(sys.argv[8]).convert("RGB") if len(sys.argv) > 8 else None
    box = picture_box(shot)
    if not box:
        print("  FAILS: no picture on the screen")
        return 1
    width, height = box[2] - box[0], box[3] - box[1]
    found = shot.crop(box)
    columns = edges(found, horizontal=True) + 1
    pixel_rows = edges(found, horizontal=False) + 1
    blocks = want[1] != 0
    rows = pixel_rows // 2 if blocks else pixel_rows  # a half block: two pixels a cell
    size = (max(1, columns // averaged), max(1, rows // averaged))
    found = found.resize((columns, rows), Image.BOX).resize(size, Image.BOX)
    mean, largest, correlation = difference(found, saved, size)
    aspect = width / height
    grid = f"{columns}x{rows} cells of {width / columns:.2f}x{height / rows:.2f} pixels" if blocks else f"{columns}x{rows} pixels"
    print(f"picture at {box[0]},{box[1]} size {width}x{height} (aspect {aspect:.3f}) in {grid}"
          + (f" (want {want[0] or 'square'}x{want[1]})" if blocks else "") + f"; compared in {size[0]}x{size[1]}: difference mean {mean:.2f} "
          f"largest {largest} (allowed {mean_tolerance}, {max_tolerance}), correlation {correlation:.3f}")
    faults = []
    if not named_above(shot, box):
        faults.append("nothing right above it, where the line naming the file must be")
    if min(width, height) < SMALLEST or abs(aspect - 1) > ASPECT:
        faults.append("not a square of its size")
    square = blocks and want[0] == 0  # as many columns as make the rows square
    if blocks and (rows != want[1] or pixel_rows % 2 or (columns != want[0] and not square)):
        faults.append("not the cells that fit")
    if square and abs(aspect - 1) > SQUARE:
        faults.append(f"not square within {SQUARE:.0%} in cells of a shape the program was told")
    alike = lambda mean, largest, correlation: (mean <= mean_tolerance and largest <= max_tolerance
                                                and correlation >= CORRELATED)
    if not alike(mean, largest, correlation):
        faults.append("not the saved picture")
    if other:
        mean, largest, correlation = difference(found, other, size)
        print(f"  another picture: difference mean {mean:.2f} largest {largest}, correlation {correlation:.3f}")
        if alike(mean, largest, correlation):
            faults.append("another picture passes for it as well")
    for fault in faults:
        print(f"  FAILS: {fault}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
