#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/huge-file.sh [MiB]: tarnwick on one large file of ordinary entries
# (default 1024 MiB, made by generate.py into build-bench/data and kept
# there): wall time, peak memory, and memory per input byte. Not a test: it
# needs minutes and about 13 times the file's size in memory.
set -euo pipefail
mib=${1:-1024}
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=$root/build-bench
file=$build/data/huge-${mib}MiB.yaml

"$root/.ci/install-packages" time
cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 --target tarnwick >/dev/null
mkdir -p "$build/data"
if [ ! -s "$file" ]; then
    lines=$(( mib * 1048576 / 36 )) # generate.py writes about 36 bytes a line
    python3 "$bench/generate.py" "$lines" --seed 7 >"$file"
fi
bytes=$(stat -c %s "$file")
/usr/bin/time -f "%e %M" -o "$build/huge.time" "$build/bin/tarnwick" "$file" | wc -l >"$build/huge.lines"
read -r seconds kib <"$build/huge.time"
echo "file: $bytes bytes, $(wc -l <"$file") lines; dump: $(cat "$build/huge.lines") lines"
echo "wall: $seconds s; peak RSS: $((kib / 1024)) MiB; RSS per input byte:" \
     "$(python3 -c "print(round($kib * 1024 / $bytes, 2))")"
