#!/usr/bin/env python3
"""Writes a noisy N x N quad grid as OBJ (default N = 1000: one million quads)
for timing the runner end to end: bench/grid_obj.py 1000 > grid.obj"""
import random
import sys

n = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
rng = random.Random(7)
out = sys.stdout
lines = []
for j in range(n + 1):
    for i in range(n + 1):
        lines.append("v %d %.6f %d\n" % (i, rng.uniform(-0.25, 0.25), j))
    if len(lines) > 100000:
        out.write("".join(lines))
        lines = []
out.write("".join(lines))
lines = []
for j in range(n):
    for i in range(n):
        a = j * (n + 1) + i + 1  # OBJ indices start at 1
        lines.append("f %d %d %d %d\n" % (a, a + 1, a + n + 2, a + n + 1))
    if len(lines) > 100000:
        out.write("".join(lines))
        lines = []
out.write("".join(lines))
