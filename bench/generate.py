#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

"""generate.py LINES [--seed N] [--plain]: a deterministic entry file on stdout.

About 60% scalar lines (numbers such as 1.5, -3e-2, 42, and words), 30%
bracketed lists of 2 to 8 items, 5% repeated keys and 5% lines that are
skipped; keys like section_17.param_3; 20 to 60 bytes a line.
--plain leaves out repeated keys and skipped lines, for readers that differ
on those.
"""
import argparse
import random
import sys

WORDS = ["robot", "enabled", "left", "right", "auto", "fast", "idle", "lidar", "imu", "on", "off"]


def scalar(rng):
    kind = rng.randrange(5)
    if kind == 0:
        return "%.4g" % rng.uniform(-1000, 1000)
    if kind == 1:
        return "%de-%d" % (rng.randrange(-9, 10), rng.randrange(1, 6))
    if kind == 2:
        return str(rng.randrange(0, 100000))
    if kind == 3:
        return "%.6f" % rng.uniform(0, 10)
    return rng.choice(WORDS)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("lines", type=int)
    parser.add_argument("--seed", type=int, default=2016)
    parser.add_argument("--plain", action="store_true")
    args = parser.parse_args()
    rng = random.Random(args.seed)
    keys = []
    out = []
    for n in range(args.lines):
        roll = rng.random()
        if not args.plain and roll < 0.05 and keys:
            key = rng.choice(keys)
        elif not args.plain and roll < 0.10:
            out.append(rng.choice(["# note about section %d" % n, "time: 12:%02d:30" % (n % 60),
                                   "", "   ", "just text without a colon"]))
            continue
        else:
            key = "section_%d.param_%d" % (n // 10, n % 10)
            keys.append(key)
        if rng.random() < 0.66:
            value = scalar(rng)
        else:
            value = "[" + ", ".join(scalar(rng) for _ in range(rng.randrange(2, 9))) + "]"
        line = "%s: %s" % (key, value)
        while len(line) > 60 and value.startswith("["):
            value = value[:value.rindex(",")] + "]"
            line = "%s: %s" % (key, value)
        out.append(line)
    sys.stdout.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
