#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# replay-generated.sh FUZZ_REPLAY: the fuzz target's invariants (the plain
# line-by-line reading among them) on one file too large for the fuzzer's
# inputs: 30,000 lines with many repeated keys, keys that share long prefixes,
# lists, quotes, CRLF and lines that are skipped. Made at test time (seeded).
set -euo pipefail
replay=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk 'BEGIN {
    srand(7)
    split("1.5 -3e-2 42 0 word on \"quoted\" 1e999 0x10 .5 1,5 inf", values, " ")
    prefixes[1] = "section_"; prefixes[2] = "a_key_prefix_longer_than_sixteen_bytes_"
    prefixes[3] = "x"; prefixes[4] = "  spaced key "; prefixes[5] = "section_1"
    for (n = 0; n < 30000; n++) {
        roll = rand()
        if (roll < 0.05) { print "# a line without the separator"; continue }
        if (roll < 0.07) { print "time: 12:30:00"; continue }
        key = prefixes[1 + int(rand() * 5)] int(rand() * 5000)
        if (rand() < 0.3) {
            value = "["
            items = int(rand() * 6)
            for (i = 0; i < items; i++)
                value = value (i ? ", " : "") values[1 + int(rand() * 12)]
            value = value "]"
        } else {
            value = values[1 + int(rand() * 12)]
        }
        printf "%s: %s%s\n", key, value, (rand() < 0.1 ? "\r" : "")
    }
}' >"$work/entries.yaml"

"$replay" "$work/entries.yaml"
