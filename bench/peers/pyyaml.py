#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

"""The same job with PyYAML's C loader, values kept as strings."""
import sys

import yaml


def real(text):
    try:
        return float(text)
    except ValueError:
        return 0.0


def main():
    with open(sys.argv[1], "rb") as stream:
        store = yaml.load(stream, Loader=yaml.CBaseLoader) or {}
    out = sys.stdout
    for key in sorted(store):
        items = store[key]
        if not isinstance(items, list):
            items = [items]
        if len(items) <= 1:
            text = items[0] if items else ""
            line = "%s : %s  - as real %g\n" % (key, text, real(text))
        else:
            line = "%s : [ %s ] - as real [ %s ]\n" % (
                key, "".join(i + " " for i in items)[:-1], "".join("%g " % real(i) for i in items)[:-1])
        out.write(line)
        out.flush()


if __name__ == "__main__":
    main()
