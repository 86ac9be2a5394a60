#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz target into fuzz/corpus.

Each seed is one session in the byte layout that fuzz_session.inc reads:
fault schedule, host shape, points, polygons, segments, neighbour entries,
reported counts, absent arrays, object matrix, document shape.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def coord(value):
    """A coordinate byte: (byte - 112) / 8 for bytes below 224."""
    b = int(round(value * 8)) + 112
    assert 0 <= b < 224
    return b


SPECIAL = {"nan": 224, "inf": 225, "-inf": 226, "max": 227, "-max": 228, "denormal": 229,
           "-0": 231, "tiny": 232, "huge": 233}
INDEX = {-1: 240, -2: 241, "limit": 242, "limit+1": 243, "min": 244, "max": 245}


def session(points, polygons, segments=(), overrides=(), fault=(0, 0), host=0, counts=0,
            counts_extra=(), absent=0, matrix=0, matrix_cells=(), document=1):
    out = bytearray([fault[0], fault[1], host, len(points)])
    for p in points:
        out += bytes(SPECIAL[c] if isinstance(c, str) else coord(c) for c in p)
    out.append(len(polygons))
    for poly in polygons:
        triangle = len(poly) == 3
        out.append(1 if triangle else 0)
        out += bytes(INDEX.get(c, c) for c in poly)
    out.append(len(segments))
    for first, last in segments:
        out += bytes([INDEX.get(first, first), INDEX.get(last, last)])
    out.append(len(overrides))
    for polygon, entries in overrides:
        # Entries are read shifted by one: byte e + 1 names polygon e, byte 0
        # no neighbour, and the special -1 reads as -2.
        out.append(polygon)
        out += bytes(INDEX[e] if isinstance(e, str) else 240 if e == -2 else e + 1
                     for e in entries)
    out.append(counts)
    out += bytes(counts_extra)
    out.append(absent)
    out.append(matrix)
    out += bytes(coord(c) for c in matrix_cells)
    out.append(document)
    return bytes(out)


def grid(columns, rows):
    """Points and quads of a grid with uneven heights."""
    points = [(i, ((i * 7 + j * 3) % 5) * 0.25 - 0.5, j)
              for j in range(rows + 1) for i in range(columns + 1)]
    quads = []
    for j in range(rows):
        for i in range(columns):
            p = i + j * (columns + 1)
            quads.append((p, p + 1, p + 1 + columns + 1, p + columns + 1))
    return points, quads


def main():
    seeds = {}
    points, quads = grid(3, 2)
    seeds["grid-one-region"] = session(points, quads, [(0, 5)])
    seeds["grid-two-regions"] = session(points, quads, [(0, 0), (2, 2), (5, 5)], document=0xC1)
    tri_points = [(0, 0, 0), (1, 0.5, 0), (2, -0.25, 0), (3, 0, 0),
                  (0, 0.25, 1), (1, 0, 1), (2, 0.75, 1), (3, 0.125, 1)]
    tri_polygons = [(0, 1, 5, 4), (1, 2, 6), (1, 6, 5), (2, 3, 7, 6)]
    seeds["triangles-and-quads"] = session(tri_points, tri_polygons, [(0, 3)], matrix=1)
    seeds["fault-once"] = session(points, quads, [(0, 5)], fault=(1, 14))
    seeds["fault-from-then-on"] = session(points, quads, [(0, 5)], fault=(2, 16))
    seeds["fault-append"] = session(points, quads, [(0, 5)], fault=(3 + 4 * 1, 1))
    seeds["fault-registration"] = session(points, quads, [(0, 5)], fault=(3 + 4 * 10, 0))
    seeds["hostile-indices"] = session(
        points, quads[:4] + [(0, "max", 2, "min"), (-1, 1, 2)],
        [("min", "max"), (3, 1), (0, "limit"), (-2, 2)],
        overrides=[(0, [0, "max", "min", 5]), (1, [-2, 3, 3, "limit"])])
    seeds["hostile-values"] = session(
        [(0, 0, 0), ("nan", 0, 0), (1, "inf", 1), ("max", "-max", 0), ("denormal", "-0", "tiny"),
         (2, "huge", 0)], [(0, 1, 2, 3), (2, 3, 4, 5), (0, 4, 5)], [(0, 2)])
    seeds["counts-and-no-arrays"] = session(points, quads, [(0, 5)], counts=5, counts_extra=[1],
                                            absent=0x04)
    seeds["point-count-huge"] = session(points, quads, [(0, 5)], counts=5 << 3, counts_extra=[0])
    seeds["matrix-raw"] = session(points, quads, [(0, 5)], matrix=6,
                                  matrix_cells=[1, 2, 3, 0, 0, -1, 0, 2, 0, 0.5, 0, 0])
    seeds["library-missing"] = session(points, quads, [(0, 5)], host=0x08)
    os.makedirs(os.path.join(HERE, "corpus"), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(HERE, "corpus", name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
