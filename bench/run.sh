#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/run.sh [micro|compare|edit|watch|layers|all]: measures tarnwick. Never part of ctest.
#
#   micro    Google Benchmark: Reader::parse in MB/s at 1e3, 1e5 and 1e6 lines,
#            without and with findings, and keys(), entryTypeForKey,
#            realVectorEntryForKey per second; Editor load, set and save, and
#            the same merged with a change made meanwhile, then again under
#            eatmydata (syncs made no-ops), beside the parse.
#   compare  whole processes, output to /dev/null: tarnwick against the same
#            job done by a plain C++17 reader, yaml-cpp, PyYAML's C loader,
#            inih, and `cat` as the limit of reading. The dumps are checked
#            to be identical first. Medians from hyperfine, peak RSS from
#            GNU time. Then what 999 more lines cost each program (1e3 lines
#            less 1 line, so that loading Qt Core cancels out; the two files
#            run in alternation, 200 times each), and
#            tarnwick-check against tarnwick on 1e6 lines. The comparison is
#            also drawn, time and peak memory against lines, in
#            bench/comparison.png.
#   edit     whole processes: tarnwick-set and tarnwick-get against git config,
#            crudini, yq, sed -i and grep -m1 (editors.sh), drawn in
#            bench/editing.png.
#   watch    tarnwick-watch against inotifywait, watchdog, viper and chokidar,
#            told of 1,000 saves by rename (watchers.sh), drawn in
#            bench/watching.png.
#   layers   a configuration of 10 and 1,000 drop-ins dumped, against the
#            same lines in one file and against libeconf (layers.sh), drawn
#            in bench/layering.png.
#
# Entry files come from generate.py (seeded) into build-bench/data; they are
# never committed. Installs the packages it needs when they are missing.
set -euo pipefail
what=${1:-all}
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=$root/build-bench
data=$build/data
sizes=(1 1000 100000 1000000)

"$root/.ci/install-packages" g++ cmake qt6-base-dev libbenchmark-dev libyaml-cpp-dev libinih-dev \
    python3-yaml pkg-config hyperfine time gnuplot-nox eatmydata git crudini yq libeconf-dev

cmake -S "$root" -B "$build" -DTARNWICK_BENCH=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j2 >/dev/null

mkdir -p "$data"
for lines in "${sizes[@]}"; do
    [ -s "$data/entries-$lines.yaml" ] || python3 "$bench/generate.py" "$lines" >"$data/entries-$lines.yaml"
    [ -s "$data/plain-$lines.yaml" ] || python3 "$bench/generate.py" "$lines" --plain >"$data/plain-$lines.yaml"
done

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'),"\
     "$(free -g | awk '/Mem:/ {print $2}') GiB; $(uname -sr); Qt $(pkg-config --modversion Qt6Core)"

if [ "$what" = micro ] || [ "$what" = all ]; then
    echo
    echo "== micro-benchmarks (entries-N.yaml: with repeated keys and skipped lines)"
    TARNWICK_BENCH_DATA=$data "$build/bench/bench_reader" --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true \
        --benchmark_report_aggregates_only=true
    echo
    echo "== the edit and the parse again, with every sync a no-op (eatmydata)"
    TARNWICK_BENCH_DATA=$data eatmydata "$build/bench/bench_reader" --benchmark_filter='^(parse/1000000|editAndSave.*)$' \
        --benchmark_repetitions=3 --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
fi

if [ "$what" = edit ] || [ "$what" = all ]; then
    "$bench/editors.sh" "$build" "$data"
fi

if [ "$what" = watch ] || [ "$what" = all ]; then
    "$bench/watchers.sh" "$build" "$data"
fi

if [ "$what" = layers ] || [ "$what" = all ]; then
    "$bench/layers.sh" "$build" "$data"
fi

if [ "$what" = compare ] || [ "$what" = all ]; then
    tarnwick=$build/bin/tarnwick
    readers=(tarnwick plain-c++ yaml-cpp pyyaml-c inih cat)
    command_of() {
        case $1 in
        tarnwick) echo "$tarnwick" ;;
        plain-c++) echo "$build/bench/peer_plain" ;;
        yaml-cpp) echo "$build/bench/peer_yamlcpp" ;;
        pyyaml-c) echo "/usr/bin/python3 $bench/peers/pyyaml.py" ;;
        inih) echo "$build/bench/peer_inih" ;;
        cat) echo "cat" ;;
        esac
    }
    for lines in "${sizes[@]}"; do
        file=$data/plain-$lines.yaml
        echo
        echo "== $lines lines, $(stat -c %s "$file") bytes (plain-$lines.yaml: every line an entry, no repeated key)"
        "$tarnwick" "$file" >"$build/expected.txt"
        for reader in "${readers[@]}"; do
            [ "$reader" = cat ] && continue
            # shellcheck disable=SC2046
            $(command_of "$reader") "$file" | cmp -s - "$build/expected.txt" \
                || { echo "$reader: dump differs from tarnwick's"; exit 1; }
        done
        # Short runs vary by a tenth of a millisecond: many of them.
        runs=200 warmup=10
        [ "$lines" -le 1 ] && runs=300
        [ "$lines" -ge 100000 ] && runs=20 warmup=2
        [ "$lines" -ge 1000000 ] && runs=10 warmup=1
        hyperfine_args=()
        for reader in "${readers[@]}"; do
            hyperfine_args+=(-n "$reader" "$(command_of "$reader") $file")
        done
        hyperfine -N --warmup "$warmup" --runs "$runs" --export-json "$build/times-$lines.json" \
            "${hyperfine_args[@]}" >/dev/null
        : >"$build/rss-$lines.txt"
        for reader in "${readers[@]}"; do
            # shellcheck disable=SC2046
            /usr/bin/time -f "$reader %M" $(command_of "$reader") "$file" 2>>"$build/rss-$lines.txt" >/dev/null
        done
        python3 - "$build/times-$lines.json" "$build/rss-$lines.txt" "$(stat -c %s "$file")" <<'EOF'
import json, sys
times = {r["command"]: r["median"] for r in json.load(open(sys.argv[1]))["results"]}
rss = dict(line.split() for line in open(sys.argv[2]))
size = int(sys.argv[3])
base = times["tarnwick"]
print("| reader | median (s) | ratio to tarnwick | peak RSS (MB) | RSS per input byte |")
print("|---|---|---|---|---|")
for name, median in sorted(times.items(), key=lambda item: item[1]):
    kib = int(rss[name])
    print("| %s | %.4f | %.2f | %.1f | %.1f |" % (name, median, median / base, kib / 1024, kib * 1024 / size))
fastest = min((median, name) for name, median in times.items() if name not in ("tarnwick", "cat"))
print("\ntarnwick takes %.2f times as long as the fastest peer (%s)." % (base / fastest[0], fastest[1]))
EOF
    done

    # The same as a picture: time and peak memory against lines, on logarithmic
    # scales, one line per reader.
    python3 - "$build" "${sizes[@]}" >"$build/plot.dat" <<'EOF'
import json, sys
build, sizes = sys.argv[1], sys.argv[2:]
points = {}
for lines in sizes:
    times = {r["command"]: r["median"] for r in json.load(open("%s/times-%s.json" % (build, lines)))["results"]}
    rss = dict(line.split() for line in open("%s/rss-%s.txt" % (build, lines)))
    for name, median in times.items():
        points.setdefault(name, []).append((int(lines), median, int(rss[name]) / 1024))
for name, rows in points.items():
    print('"%s"' % name)
    for row in rows:
        print("%d %.6f %.1f" % row)
    print("\n")
EOF
    "$bench/plot.sh" "$build/plot.dat" "$bench/comparison.png" \
        "Each reader reads an entry file and dumps it (plain-N.yaml, output to /dev/null)"
    echo "drawn: bench/comparison.png"

    echo
    echo "== what 999 more lines cost: the 1e3-line file less the 1-line file, each program against itself"
    # The two files in alternation, run after run: this machine has slow spells of a few seconds,
    # which would fall on one file's block of runs alone in hyperfine and swing the difference.
    commands=()
    for reader in "${readers[@]}"; do
        commands+=("$reader=$(command_of "$reader")")
    done
    python3 - "$data/plain-1.yaml" "$data/plain-1000.yaml" "${commands[@]}" <<'EOF'
import os, statistics, sys, time
small, large = sys.argv[1:3]
readers = dict(arg.split("=", 1) for arg in sys.argv[3:])
times = {(name, f): [] for name in readers for f in (small, large)}
null = os.open(os.devnull, os.O_WRONLY)
for run in range(210):
    for name, command in readers.items():
        argv = command.split()
        for f in (small, large):
            start = time.perf_counter()
            os.waitpid(os.posix_spawnp(argv[0], argv + [f], os.environ,
                                       file_actions=[(os.POSIX_SPAWN_DUP2, null, 1)]), 0)
            if run >= 10:  # the first runs warm the caches
                times[(name, f)].append(time.perf_counter() - start)
one = {name: statistics.median(times[(name, small)]) for name in readers}
thousand = {name: statistics.median(times[(name, large)]) for name in readers}
added = {name: thousand[name] - one[name] for name in readers}
print("| reader | 1 line (ms) | 1e3 lines (ms) | 999 more lines (ms) |")
print("|---|---|---|---|")
for name, cost in sorted(added.items(), key=lambda item: item[1]):
    print("| %s | %.2f | %.2f | %.2f |" % (name, one[name] * 1e3, thousand[name] * 1e3, cost * 1e3))
fastest = min((cost, name) for name, cost in added.items() if name not in ("tarnwick", "cat"))
print("\n999 more lines cost tarnwick %.2f times what they cost the fastest peer (%s)."
      % (added["tarnwick"] / fastest[0], fastest[1]))
EOF

    echo
    file=$data/entries-1000000.yaml
    echo "== tarnwick-check against tarnwick, entries-1000000.yaml (with repeated keys and skipped lines)"
    hyperfine -N -i --warmup 1 --runs 10 --export-json "$build/times-check.json" \
        -n tarnwick "$tarnwick $file" -n tarnwick-check "$build/bin/tarnwick-check $file" >/dev/null
    python3 -c 'import json, sys; [print("%s: %.3f s" % (r["command"], r["median"])) for r in json.load(open(sys.argv[1]))["results"]]' \
        "$build/times-check.json"
    for command in tarnwick tarnwick-check; do
        /usr/bin/time -f "$command: peak RSS %M KiB" "$build/bin/$command" "$file" 2>&1 >/dev/null | tail -n 1 || true
    done
fi
