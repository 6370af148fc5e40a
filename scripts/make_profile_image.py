#!/usr/bin/env python3
"""Writes examples/profile.png, a drawn bottle to trace in the section window, and
examples/bottle.surf, the surface of revolution whose section 0 is the bottle's profile.

Both come from the same profile: the image's outline is the very curve the section window
draws for section 0 (a clamped uniform quadratic B-spline of the control points below), placed
where the background rectangle puts the image: 1 unit wide along z, centred on the model
origin, rows bottom to top along +y. Only the Python standard library is used.

Usage: scripts/make_profile_image.py [EXAMPLES_DIR]   (default: examples/ of this tree)
"""

import math
import os
import struct
import sys
import zlib

WIDTH, HEIGHT = 400, 600  # pixels; the rectangle is 1 by HEIGHT / WIDTH units
ORDER_U = 3
# Profile of the right half of the bottle as (z, y): z is the distance from the y axis.
PROFILE = [
    (0.00, -0.70),  # centre of the base
    (0.30, -0.70),
    (0.32, -0.60),
    (0.32, 0.10),  # body
    (0.30, 0.30),  # shoulder
    (0.10, 0.42),
    (0.09, 0.62),  # neck
    (0.12, 0.64),  # lip
    (0.11, 0.70),
]

PAPER = (246, 241, 228)
GLASS = (186, 220, 196)
INK = (40, 48, 64)
AXIS = (150, 150, 150)


def uniform_knots(count, order):
    """Clamped uniform knot vector on [0, 1] with count + order knots."""
    n = count + order
    interior = n - 2 * order
    knots = []
    for i in range(n):
        if i < order:
            knots.append(0.0)
        elif i >= n - order:
            knots.append(1.0)
        else:
            knots.append((i - order + 1) / (interior + 1))
    return knots


def curve_point(points, knots, order, u):
    """de Boor's algorithm (The NURBS Book, A3.1 in its recursive form)."""
    p = order - 1
    n = len(points) - 1
    span = p
    if u >= knots[n + 1]:
        span = n
    else:
        while not (knots[span] <= u < knots[span + 1]):
            span += 1
    d = [list(points[j]) for j in range(span - p, span + 1)]
    for r in range(1, p + 1):
        for j in range(p, r - 1, -1):
            i = j + span - p
            denom = knots[i + p - r + 1] - knots[i]
            a = 0.0 if denom == 0 else (u - knots[i]) / denom
            d[j] = [(1 - a) * d[j - 1][k] + a * d[j][k] for k in range(2)]
    return d[p]


def to_pixel(z, y):
    """Model (z, y) on the background rectangle to (column, row from the top)."""
    column = (z + 0.5) * WIDTH - 0.5
    row = (HEIGHT / WIDTH / 2 - y) * WIDTH - 0.5
    return column, row


def draw_image():
    knots = uniform_knots(len(PROFILE), ORDER_U)
    samples = [curve_point(PROFILE, knots, ORDER_U, i / 4000) for i in range(4001)]
    pixels = [[PAPER] * WIDTH for _ in range(HEIGHT)]

    # Glass: every row filled out to the widest point of the outline in that row.
    half_width = {}
    for z, y in samples:
        column, row = to_pixel(z, y)
        r = int(round(row))
        half_width[r] = max(half_width.get(r, 0.0), column - (WIDTH / 2 - 0.5))
    for r, extent in half_width.items():
        if 0 <= r < HEIGHT:
            for c in range(WIDTH):
                if abs(c - (WIDTH / 2 - 0.5)) <= extent:
                    pixels[r][c] = GLASS

    # Dashed axis of revolution down the middle.
    for r in range(HEIGHT):
        if (r // 8) % 2 == 0:
            pixels[r][WIDTH // 2 - 1] = AXIS
            pixels[r][WIDTH // 2] = AXIS

    # Outline of both halves, about three pixels thick.
    for z, y in samples:
        for mirrored in (z, -z):
            column, row = to_pixel(mirrored, y)
            for dr in range(-2, 3):
                for dc in range(-2, 3):
                    rr, cc = int(round(row)) + dr, int(round(column)) + dc
                    if 0 <= rr < HEIGHT and 0 <= cc < WIDTH and dr * dr + dc * dc <= 2:
                        pixels[rr][cc] = INK
    return pixels


def write_png(path, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    raw = b"".join(b"\x00" + bytes(v for rgb in row for v in rgb) for row in pixels)
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", header))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def revolved_rows():
    """Nine rows of (x, y, z, w): the profile in the plane x = 0 turned about +y in four
    quarter arcs, corners at sqrt(2) times the radius with weight cos(45 degrees)."""
    corner = math.cos(math.pi / 4)
    rows = []
    for r in range(9):
        angle = r * math.pi / 4
        scale, weight = (1.0, 1.0) if r % 2 == 0 else (1 / corner, corner)
        rows.append([(z * scale * math.sin(angle), y, z * scale * math.cos(angle), weight)
                     for z, y in PROFILE])
    return rows


def write_surface(path):
    count_u, count_v, order_v = len(PROFILE), 9, 3
    with open(path, "w") as out:
        out.write("FILENAME:%s\n" % os.path.basename(path))
        out.write("DEGREE_U_V\n     %d     %d\n" % (ORDER_U - 1, order_v - 1))
        out.write("N.C.P._U_V\n     %d     %d\n" % (count_u, count_v))
        out.write("N.KNOTS_U_V\n     %d     %d\n" % (count_u + ORDER_U, count_v + order_v))
        out.write("COORD.C.P.(X,Y,Z,W)\n")
        for row in revolved_rows():
            for x, y, z, w in row:
                values = [round(v, 6) + 0.0 for v in (x * w, y * w, z * w, w)]  # no "-0.000000"
                out.write("%f      %f      %f      %f\n" % tuple(values))
            out.write("\n\n\n")
        out.write("\n\n\nKNOTS_U\n")
        for knot in uniform_knots(count_u, ORDER_U):
            out.write("%f\n" % knot)
        out.write("\n\n\nKNOTS_V\n")
        for knot in [0, 0, 0, 0.25, 0.25, 0.5, 0.5, 0.75, 0.75, 1, 1, 1]:
            out.write("%f\n" % knot)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    examples = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "examples")
    write_png(os.path.join(examples, "profile.png"), draw_image())
    write_surface(os.path.join(examples, "bottle.surf"))


if __name__ == "__main__":
    main()
