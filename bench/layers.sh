#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/layers.sh BUILD DATA: a layered configuration read whole (run.sh
# layers calls it, after building).
#
# For 10 and 1,000 drop-ins of 10 entries each (plain-N.yaml cut into files
# of 10 lines, every other one in /etc's drop-in folder and the rest in
# /usr/lib's): tarnwick's dump of the configuration against its dump of the
# same lines as one file, and against libeconf (peers/econf.cpp) reading the
# same tree written as key=value and printing every key. Then a set through
# the 1,000 drop-ins against a set in one file of the same lines, and a watch
# of 100 drop-ins in four folders against a watch of one file (1,000 saves by
# rename each, watch_measure.py). The dumps are
# checked to be the same first. Medians of runs made in turn, peak RSS from
# GNU time (also above a run on an empty file, which is Qt Core's and the
# process's own); the figures are also drawn in bench/layering.png.
set -euo pipefail
build=$1
data=$2
bench=$(cd "$(dirname "$0")" && pwd)
out=$build/layers
rm -rf "$out"
mkdir -p "$out"
tarnwick=$build/bin/tarnwick

: >"$out/plot.dat"
for dropins in 10 1000; do
    lines=$((dropins * 10))
    [ -s "$data/plain-$lines.yaml" ] || python3 "$bench/generate.py" "$lines" --plain >"$data/plain-$lines.yaml"
    tree=$out/tree-$dropins
    python3 - "$data/plain-$lines.yaml" "$tree" <<'EOF'
import os, sys
source, tree = sys.argv[1:]
lines = open(source).read().splitlines()
for folder in ("etc", "usr/lib"):
    os.makedirs("%s/%s/bench.yaml.d" % (tree, folder))
    os.makedirs("%s/econf/%s/bench.conf.d" % (tree, folder))
for n in range(0, len(lines), 10):
    folder = "etc" if (n // 10) % 2 == 0 else "usr/lib"
    chunk = lines[n:n + 10]
    with open("%s/%s/bench.yaml.d/%04d.yaml" % (tree, folder, n // 10), "w") as f:
        f.write("\n".join(chunk) + "\n")
    with open("%s/econf/%s/bench.conf.d/%04d.conf" % (tree, folder, n // 10), "w") as f:
        f.write("\n".join(line.replace(": ", "=", 1) for line in chunk) + "\n")
EOF
    one=$data/plain-$lines.yaml
    layered="$tarnwick --root $tree --path /etc:/usr/lib --layers bench.yaml"
    econf="$build/bench/peer_econf $tree/econf/usr/lib $tree/econf/etc bench"
    $layered | cmp -s - <("$tarnwick" "$one") || { echo "the layered dump differs from the one file's"; exit 1; }
    [ "$($econf | wc -l)" = "$lines" ] || { echo "libeconf did not print every key"; exit 1; }

    echo
    echo "== $dropins drop-ins of 10 entries ($lines lines)"
    : >"$out/empty.yaml"
    : >"$out/rss-$dropins.txt"
    for run in "empty $tarnwick $out/empty.yaml" "one $tarnwick $one" "layers $layered" "econf $econf"; do
        # shellcheck disable=SC2086
        /usr/bin/time -f "${run%% *} %M" ${run#* } 2>>"$out/rss-$dropins.txt" >/dev/null
    done
    # The three in turn, run after run (200 each, libeconf 20 times at 1,000
    # drop-ins): this machine has slow spells of a few seconds, which would fall
    # on one program's block of runs alone.
    python3 - "$out/rss-$dropins.txt" "$lines" "$out/plot.dat" "tarnwick, one file=$tarnwick $one" \
        "tarnwick --layers=$layered" "libeconf=$econf" <<'EOF'
import os, statistics, sys, time
rss = {name: int(kib) / 1024 for name, kib in (line.split() for line in open(sys.argv[1]))}
lines = int(sys.argv[2])
programs = dict(arg.split("=", 1) for arg in sys.argv[4:])
memory = {"tarnwick, one file": rss["one"], "tarnwick --layers": rss["layers"], "libeconf": rss["econf"]}
times = {name: [] for name in programs}
null = os.open(os.devnull, os.O_WRONLY)
for run in range(210):
    for name, command in programs.items():
        if name == "libeconf" and lines > 1000 and run % 10:
            continue
        argv = command.split()
        start = time.perf_counter()
        os.waitpid(os.posix_spawn(argv[0], argv, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, null, 1)]), 0)
        if run >= 10:
            times[name].append(time.perf_counter() - start)
median = {name: statistics.median(values) for name, values in times.items()}
print("| program | median (ms) | peak RSS (MB) |")
print("|---|---|---|")
for name in programs:
    print("| %s | %.2f | %.1f |" % (name, median[name] * 1e3, memory[name]))
layers, one, econf = median["tarnwick --layers"], median["tarnwick, one file"], median["libeconf"]
print("\nlayered over one file: %.2f in time, %.2f in peak RSS (%.2f in what each takes above a run on an empty"
      " file, %.1f MB); layered over libeconf: %.2f in time"
      % (layers / one, rss["layers"] / rss["one"], (rss["layers"] - rss["empty"]) / (rss["one"] - rss["empty"]),
         rss["empty"], layers / econf))
with open(sys.argv[3], "a") as plot:
    for name in programs:
        plot.write('"%s"\n%d %.6f %.1f\n\n\n' % (name, lines, median[name], memory[name]))
EOF
done

# One block per program, its points in order of lines.
python3 - "$out/plot.dat" >"$out/plot-by-program.dat" <<'EOF'
import sys
blocks = [b.strip().splitlines() for b in open(sys.argv[1]).read().split("\n\n\n") if b.strip()]
points = {}
for name, row in blocks:
    points.setdefault(name, []).append(row)
for name, rows in points.items():
    print(name)
    print("\n".join(rows))
    print("\n")
EOF
"$bench/plot.sh" "$out/plot-by-program.dat" "$bench/layering.png" \
    "A configuration of 10 and 1,000 drop-ins of 10 entries, read whole and dumped"
echo "drawn: bench/layering.png"

# A set through the configuration of 1,000 drop-ins (a key of one of /etc's,
# changed in place) against the same set in one file of the same lines: the
# two in turn, each run setting the other value, so that every run saves. A
# set reads the files from the last on to the one the key comes from: a key
# of the first drop-in reads them all, one of the middle half of them.
echo
echo "== a set through 1,000 drop-ins against a set in one file of the same lines"
cp "$data/plain-10000.yaml" "$out/one.yaml"
first=$(sed -n 5p "$out/tree-1000/etc/bench.yaml.d/0000.yaml" | cut -d: -f1)
middle=$(sed -n 5p "$out/tree-1000/etc/bench.yaml.d/0500.yaml" | cut -d: -f1)
python3 - "$build/bin/tarnwick-set" "$out" "$first" "$middle" <<'EOF'
import statistics, subprocess, sys, time
set_command, out = sys.argv[1:3]
print("| key in | one file (ms) | 1,000 drop-ins (ms) | ratio |")
print("|---|---|---|---|")
for where, key in zip(("the first drop-in", "the middle drop-in"), sys.argv[3:]):
    commands = {"one file": [set_command, out + "/one.yaml"],
                "layers": [set_command, "--root", out + "/tree-1000", "--path", "/etc:/usr/lib", "--layers",
                           "bench.yaml"]}
    times = {name: [] for name in commands}
    for run in range(110):
        for name, command in commands.items():
            start = time.perf_counter()
            subprocess.run(command + [key, str(run % 2)], check=True)
            if run >= 10:
                times[name].append(time.perf_counter() - start)
    one, layers = statistics.median(times["one file"]), statistics.median(times["layers"])
    print("| %s | %.2f | %.2f | %.2f |" % (where, one * 1e3, layers * 1e3, layers / one))
EOF

# A watch of 100 drop-ins of 10 lines in four folders against a watch of one
# file of the same lines: 1,000 saves by rename (watch_measure.py), the
# latency from the rename to the report, peak memory, and the inotify
# instances and watches each holds.
echo
echo "== a watch of 100 drop-ins in four folders against a watch of one file of the same lines"
[ -s "$data/plain-1000.yaml" ] || python3 "$bench/generate.py" 1000 --plain >"$data/plain-1000.yaml"
cp "$data/plain-1000.yaml" "$out/watched.yaml"
python3 "$bench/watch_measure.py" "$out" "$out/watched.yaml" one-file tarnwick \
    "$build/bin/tarnwick-watch" {file} counter
DROPINS=100 python3 "$bench/watch_measure.py" "$out" "$out/watched.yaml" layers tarnwick \
    "$build/bin/tarnwick-watch" --root {dir} --path /etc:/run:/usr/local/lib:/usr/lib --layers bench.yaml counter
for kind in one-file layers; do
    work=$(mktemp -d "$out/instances-XXXX")
    if [ "$kind" = one-file ]; then
        cp "$out/watched.yaml" "$work/f.yaml"
        "$build/bin/tarnwick-watch" "$work/f.yaml" >/dev/null &
    else
        mkdir -p "$work/etc/bench.yaml.d" "$work/usr/lib/bench.yaml.d"
        cp "$out/watched.yaml" "$work/etc/bench.yaml.d/a.yaml"
        "$build/bin/tarnwick-watch" --root "$work" --layers bench.yaml >/dev/null &
    fi
    watcher=$!
    sleep 1
    echo "$kind: $(grep -l 'inotify wd:' /proc/$watcher/fdinfo/* 2>/dev/null | wc -l) inotify instance(s)," \
        "$(grep -h 'inotify wd:' /proc/$watcher/fdinfo/* 2>/dev/null | wc -l) watches"
    kill $watcher
    wait $watcher 2>/dev/null || true
done
