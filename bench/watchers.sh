#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/watchers.sh BUILD DATA: tarnwick-watch against what programs use to be
# told of a changed configuration (run.sh watch calls it, after building and
# generating the data): inotifywait (inotify-tools; it reads nothing),
# Python's watchdog, Go's viper (WatchConfig) and Node's chokidar (atomic
# writes on), each reading the file on each report as a program would (with
# PyYAML's C loader, viper's own, js-yaml). Each watches a file of 1e3 and 1e5
# lines that is saved 1,000 times by rename, 0 to 30 ms apart (watch_measure.py):
# saves seen and missed, duplicate reports, latency p50 and p99, peak RSS;
# drawn in bench/watching.png. tarnwick-watch and inotifywait then run in turn
# for more rounds, and their latencies are compared round by round: on this
# kind of machine one round's p50 moves by a fifth from run to run.
set -euo pipefail
build=$1
data=$2
bench=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$bench")
out=$build/watchers
mkdir -p "$out"

"$root/.ci/install-packages" inotify-tools python3-watchdog python3-yaml golang-go golang-github-spf13-viper-dev \
    coreutils
# Node.js and npm, unless the machine has them already (from another source, whose npm Debian's would clash with).
command -v node >/dev/null || "$root/.ci/install-packages" nodejs
command -v npm >/dev/null || "$root/.ci/install-packages" npm
# viper as Debian packages it (no module download), chokidar 4 (the last that loads by require) from npm.
GO111MODULE=off GOPATH=/usr/share/gocode GOCACHE=$build/go-cache go build -o "$build/watch_viper" \
    "$bench/peers/watch_viper.go"
[ -d "$build/node/node_modules/chokidar" ] || (mkdir -p "$build/node" && cd "$build/node" \
    && npm install --no-audit --no-fund --silent chokidar@4 js-yaml@4 >/dev/null)

echo "watchers: tarnwick-watch $("$build/bin/tarnwick-watch" --version | cut -d' ' -f3)," \
     "$(inotifywait --help 2>&1 | head -n 1), watchdog $(/usr/bin/python3 -c 'import watchdog.version as v; print(v.VERSION_STRING)')," \
     "viper $(dpkg-query -W -f='${Version}' golang-github-spf13-viper-dev), chokidar" \
     "$(node -p "require('$build/node/node_modules/chokidar/package.json').version"), node $(node --version)"

watchers=(tarnwick-watch inotifywait watchdog viper chokidar)
rounds=${TARNWICK_WATCH_ROUNDS:-5}
# Sets kind and command for the watcher: what its lines hold, and how it runs.
watcher_command() {
    case $1 in
    tarnwick-watch) kind=tarnwick command=("$build/bin/tarnwick-watch" {file} counter) ;;
    # Line-buffered, else its lines wait in a buffer for the next event; the
    # file's own events only, as the others report the file alone (a line for
    # the save's new file would wake the reader of the reports just before the
    # rename, and take that wake-up off the latency measured).
    inotifywait) kind=event:settings.yaml command=(stdbuf -oL inotifywait -m -q -e moved_to,close_write
                                                  --include '/settings\.yaml$' --format %f {dir}) ;;
    watchdog) kind=counter command=(/usr/bin/python3 "$bench/peers/watch_watchdog.py" {file}) ;;
    viper) kind=counter command=("$build/watch_viper" {file}) ;;
    chokidar) kind=counter command=(env NODE_PATH="$build/node/node_modules" node "$bench/peers/watch_chokidar.js" {file}) ;;
    esac
}
for lines in 1000 100000; do
    base=$data/plain-$lines.yaml
    echo
    echo "== $lines lines ($(stat -c %s "$base") bytes), 1,000 saves by rename, 0 to 30 ms apart"
    for watcher in "${watchers[@]}"; do
        watcher_command "$watcher"
        python3 "$bench/watch_measure.py" "$out" "$base" "$watcher" "$kind" "${command[@]}" >/dev/null
    done
    for round in $(seq 2 "$rounds"); do
        mkdir -p "$out/round-$round"
        for watcher in tarnwick-watch inotifywait; do
            watcher_command "$watcher"
            python3 "$bench/watch_measure.py" "$out/round-$round" "$base" "$watcher" "$kind" "${command[@]}" >/dev/null
        done
    done
    python3 - "$out" "$lines" "${watchers[@]}" <<'EOF'
import json, sys
out, lines, watchers = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
results = {w: json.load(open("%s/%s-%d.json" % (out, w, lines))) for w in watchers}
ms = lambda s: "-" if s is None else "%.2f" % (s * 1000)
print("| watcher | saves seen | missed | duplicate reports | older than one before | p50 (ms) | p99 (ms) | peak RSS (MB) |")
print("|---|---|---|---|---|---|---|---|")
for w in watchers:
    r = results[w]
    print("| %s | %d | %d | %d | %d | %s | %s | %.1f |" % (w, r["seen"], r["missed"], r["duplicates"], r["stale"],
                                                        ms(r["p50"]), ms(r["p99"]), r["rss_mb"]))
EOF
    python3 - "$out" "$lines" "$rounds" <<'EOF'
import json, statistics, sys
out, lines, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
print("\n| round | tarnwick-watch p50 | p99 | inotifywait p50 | p99 | ratio p50 | ratio p99 |")
print("|---|---|---|---|---|---|---|")
ratios = ([], [])
for r in range(1, rounds + 1):
    folder = out if r == 1 else "%s/round-%d" % (out, r)
    t, i = (json.load(open("%s/%s-%d.json" % (folder, w, lines))) for w in ("tarnwick-watch", "inotifywait"))
    ratios[0].append(t["p50"] / i["p50"])
    ratios[1].append(t["p99"] / i["p99"])
    print("| %d | %.3f | %.3f | %.3f | %.3f | %.2f | %.2f |" % (r, t["p50"] * 1e3, t["p99"] * 1e3, i["p50"] * 1e3,
                                                          i["p99"] * 1e3, ratios[0][-1], ratios[1][-1]))
print("\ntarnwick-watch: latency %.2f times inotifywait's at p50, %.2f at p99 (medians of %d rounds)."
      % (statistics.median(ratios[0]), statistics.median(ratios[1]), rounds))
EOF
done

# The picture: latency (p50) and peak memory against lines, one line per watcher.
python3 - "$out" "${watchers[@]}" >"$out/plot.dat" <<'EOF'
import json, os, sys
out, watchers = sys.argv[1], sys.argv[2:]
for w in watchers:
    print('"%s"' % w)
    for lines in (1000, 100000):
        path = "%s/%s-%d.json" % (out, w, lines)
        if os.path.exists(path):
            r = json.load(open(path))
            if r["p50"] is not None:
                print("%d %.6f %.1f" % (lines, r["p50"], r["rss_mb"]))
    print("\n")
EOF
"$bench/plot.sh" "$out/plot.dat" "$bench/watching.png" \
    "Told of 1,000 saves by rename, 0 to 30 ms apart: latency from the rename to the report, and peak memory" \
    "latency, p50"
echo
echo "drawn: bench/watching.png"
