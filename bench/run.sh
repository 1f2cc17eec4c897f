#!/usr/bin/env bash
# bench/run.sh [micro|compare|all]: measures tarnwick. Never part of ctest.
#
#   micro    Google Benchmark: Reader::parse in MB/s at 1e3, 1e5 and 1e6 lines,
#            and keys(), entryTypeForKey, realVectorEntryForKey per second.
#   compare  whole processes, output to /dev/null: tarnwick against the same
#            job done by a plain C++17 reader, yaml-cpp, PyYAML's C loader,
#            inih, and `cat` as the limit of reading. The dumps are checked
#            to be identical first. Medians from hyperfine, peak RSS from
#            GNU time.
#
# Entry files come from generate.py (seeded) into build-bench/data; they are
# never committed. Installs the packages it needs when they are missing.
set -euo pipefail
what=${1:-all}
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
build=$root/build-bench
data=$build/data
sizes=(1000 100000 1000000)

"$root/.ci/install-packages" g++ cmake qt6-base-dev libbenchmark-dev libyaml-cpp-dev libinih-dev \
    python3-yaml pkg-config hyperfine time

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
    TARNWICK_BENCH_DATA=$data "$build/bench/bench_reader" --benchmark_repetitions=3 \
        --benchmark_report_aggregates_only=true
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
fi
