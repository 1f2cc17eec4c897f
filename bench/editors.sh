#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/editors.sh BUILD DATA: tarnwick-set and tarnwick-get against the tools
# people use to change and read one setting, as whole processes (run.sh edit
# calls it, after building and generating the data).
#
# Each tool changes the setting in the middle of a file of 1e3, 1e5 and 1e6
# lines (the same key and value; an INI file for crudini, the same with '-'
# for '_' for git config), on a fresh copy before each run, once as it is and
# once under eatmydata's library, which makes every sync a no-op for all alike; yq only
# up to 1e5 lines (it rewrites the file, taking minutes at 1e6). Medians from
# hyperfine, peak RSS from GNU time; the figures are also drawn in
# bench/editing.png. Then ten settings changed by one tarnwick-set call against ten
# git config calls.
set -euo pipefail
build=$1
data=$2
bench=$(cd "$(dirname "$0")" && pwd)
out=$build/editors
mkdir -p "$out"
sizes=(1000 100000 1000000)
# eatmydata's library preloaded through env: its wrapper is a shell script,
# whose own start-up would be timed with each command.
eatmydata="env LD_PRELOAD=libeatmydata.so"

echo "tools: $(git --version), crudini $(crudini --version 2>&1 | head -n 1), $(yq --version 2>&1),"\
     "$(sed --version | head -n 1), $(hyperfine --version)"

for lines in "${sizes[@]}"; do
    base=$data/plain-$lines.yaml
    middle=$((lines / 2))
    section=section_$((middle / 10))
    param=param_$((middle % 10))
    key=$section.$param
    # The same settings as INI sections, for crudini and (with '-' for '_') git config.
    python3 - "$base" "$out/base-$lines.ini" "$out/base-$lines.gitconfig" <<'EOF'
import sys
source, ini, gitconfig = sys.argv[1:]
with open(source) as f, open(ini, "w") as i, open(gitconfig, "w") as g:
    section = None
    for line in f:
        key, value = line.rstrip("\n").split(": ", 1)
        s, p = key.split(".", 1)
        if s != section:
            section = s
            i.write("[%s]\n" % s)
            g.write("[%s]\n" % s.replace("_", "-"))
        i.write("%s = %s\n" % (p, value))
        g.write("\t%s = %s\n" % (p.replace("_", "-"), value))
EOF
    git_key=${key//_/-}
    sets=(tarnwick-set git-config crudini sed cp)
    [ "$lines" -le 100000 ] && sets+=(yq)
    file_of() { case $1 in git-config) echo "$out/f.gitconfig" ;; crudini) echo "$out/f.ini" ;; *) echo "$out/f.yaml" ;; esac; }
    base_of() { case $1 in git-config) echo "$out/base-$lines.gitconfig" ;; crudini) echo "$out/base-$lines.ini" ;; *) echo "$base" ;; esac; }
    set_command() {
        local f
        f=$(file_of "$1")
        case $1 in
        tarnwick-set) echo "$build/bin/tarnwick-set $f $key 2.5" ;;
        git-config) echo "git config --file $f $git_key 2.5" ;;
        crudini) echo "crudini --set $f $section $param 2.5" ;;
        yq) echo "yq -y -i '.[\"$key\"] = 2.5' $f" ;;
        sed) echo "sed -i 's/^${key//./\\.}: .*/$key: 2.5/' $f" ;;
        cp) echo "cp $(base_of cp) $f" ;;
        esac
    }
    gets=(tarnwick-get git-config-get crudini-get grep-m1)
    get_command() {
        case $1 in
        tarnwick-get) echo "$build/bin/tarnwick-get $base $key" ;;
        git-config-get) echo "git config --file $out/base-$lines.gitconfig --get $git_key" ;;
        crudini-get) echo "crudini --get $out/base-$lines.ini $section $param" ;;
        grep-m1) echo "grep -m1 ^${key//./\\.}: $base" ;;
        esac
    }

    echo
    echo "== $lines lines: $(stat -c %s "$base") bytes ($key), INI $(stat -c %s "$out/base-$lines.ini") bytes"
    # Each tool once, checked: the setting reads as changed, and (for tarnwick-set) that line alone.
    for tool in "${sets[@]}"; do
        [ "$tool" = cp ] && continue
        cp "$(base_of "$tool")" "$(file_of "$tool")"
        bash -c "$(set_command "$tool")"
        case $tool in
        git-config) got=$(git config --file "$(file_of "$tool")" --get "$git_key") ;;
        crudini) got=$(crudini --get "$(file_of "$tool")" "$section" "$param") ;;
        *) got=$("$build/bin/tarnwick-get" "$(file_of "$tool")" "$key") ;;
        esac
        [ "$got" = 2.5 ] || { echo "$tool did not set the value: $got"; exit 1; }
    done
    cp "$base" "$out/f.yaml" && bash -c "$(set_command tarnwick-set)"
    [ "$(diff "$base" "$out/f.yaml" | grep -c '^[<>]')" = 2 ] \
        || { echo "tarnwick-set changed more than its line"; exit 1; }
    [ "$("$build/bin/tarnwick-get" "$base" "$key")" = "$(grep -m1 "^$key: " "$base" | sed 's/^[^:]*: //; s/^\[//; s/\]$//; s/, /\n/g')" ] \
        || { echo "tarnwick-get differs from grep"; exit 1; }

    runs=30
    [ "$lines" -ge 100000 ] && runs=10
    [ "$lines" -ge 1000000 ] && runs=5
    : >"$out/rss-$lines.txt"
    for tool in "${sets[@]}"; do
        tool_runs=$runs
        [ "$tool" = crudini ] && [ "$lines" -ge 1000000 ] && tool_runs=3
        [ "$tool" = yq ] && [ "$lines" -ge 100000 ] && tool_runs=3
        for mode in synced eatmydata; do
            prefix=
            [ $mode = eatmydata ] && prefix="$eatmydata "
            hyperfine -N --warmup 1 --runs "$tool_runs" --prepare "cp $(base_of "$tool") $(file_of "$tool")" \
                --export-json "$out/set-$lines-$tool-$mode.json" -n "$tool" "$prefix$(set_command "$tool")" >/dev/null
        done
        cp "$(base_of "$tool")" "$(file_of "$tool")"
        /usr/bin/time -f "$tool %M" bash -c "$eatmydata $(set_command "$tool")" 2>>"$out/rss-$lines.txt" >/dev/null
    done
    for tool in "${gets[@]}"; do
        tool_runs=$runs
        [ "$tool" = crudini-get ] && [ "$lines" -ge 1000000 ] && tool_runs=3
        hyperfine -N --warmup 1 --runs "$tool_runs" --export-json "$out/get-$lines-$tool.json" -n "$tool" \
            "$(get_command "$tool")" >/dev/null
        # shellcheck disable=SC2046
        /usr/bin/time -f "$tool %M" $(get_command "$tool") 2>>"$out/rss-$lines.txt" >/dev/null
    done
    # Ten settings spread over the file: one tarnwick-set call against ten git config calls, each in
    # one shell (under eatmydata, as above), checked first.
    ten_set="$build/bin/tarnwick-set $out/f.yaml"
    ten_git=
    for i in 0 1 2 3 4 5 6 7 8 9; do
        n=$(((2 * i + 1) * lines / 20))
        ten_key=section_$((n / 10)).param_$((n % 10))
        ten_set="$ten_set $ten_key 2.5"
        ten_git="$ten_git${ten_git:+; }git config --file $out/f.gitconfig ${ten_key//_/-} 2.5"
    done
    cp "$base" "$out/f.yaml" && sh -c "$ten_set"
    [ "$(diff "$base" "$out/f.yaml" | grep -c '^>')" = 10 ] || { echo "tarnwick-set did not change ten lines"; exit 1; }
    ten_runs=$runs
    [ "$lines" -ge 1000000 ] && ten_runs=3
    for tool in tarnwick-set-10 git-config-10; do
        [ $tool = tarnwick-set-10 ] && command=$ten_set && prepare="cp $base $out/f.yaml"
        [ $tool = git-config-10 ] && command=$ten_git && prepare="cp $out/base-$lines.gitconfig $out/f.gitconfig"
        hyperfine -N --warmup 1 --runs "$ten_runs" --prepare "$prepare" --export-json "$out/set-$lines-$tool-eatmydata.json" \
            -n "$tool" "$eatmydata sh -c '$command'" >/dev/null
        bash -c "$prepare"
        /usr/bin/time -f "$tool %M" $eatmydata sh -c "$command" 2>>"$out/rss-$lines.txt" >/dev/null
    done
    python3 - "$out" "$lines" "$(stat -c %s "$base")" "${sets[*]}" "${gets[*]}" <<'EOF'
import json, sys
out, lines, size, sets, gets = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4].split(), sys.argv[5].split()
ten = {t: json.load(open("%s/set-%d-%s-eatmydata.json" % (out, lines, t)))["results"][0]["median"]
       for t in ("tarnwick-set-10", "git-config-10")}
median = lambda f: json.load(open(f))["results"][0]["median"]
rss = {name: int(kib) for name, kib in (line.rsplit(None, 1) for line in open("%s/rss-%d.txt" % (out, lines)))}
synced = {t: median("%s/set-%d-%s-synced.json" % (out, lines, t)) for t in sets}
quick = {t: median("%s/set-%d-%s-eatmydata.json" % (out, lines, t)) for t in sets}
print("| set | median (s) | under eatmydata (s) | the syncs (s) | ratio to tarnwick-set, eatmydata | peak RSS (MB) |")
print("|---|---|---|---|---|---|")
for t in sorted(sets, key=lambda t: quick[t]):
    print("| %s | %.4f | %.4f | %.4f | %.2f | %.1f |" % (t, synced[t], quick[t], synced[t] - quick[t],
          quick[t] / quick["tarnwick-set"], rss[t] / 1024))
times = {t: median("%s/get-%d-%s.json" % (out, lines, t)) for t in gets}
print("\n| get | median (s) | ratio to tarnwick-get | peak RSS (MB) |")
print("|---|---|---|---|")
for t in sorted(gets, key=lambda t: times[t]):
    print("| %s | %.4f | %.2f | %.1f |" % (t, times[t], times[t] / times["tarnwick-get"], rss[t] / 1024))
limit = (size + 16 * lines) / 2**20
print("\ntarnwick-set, under eatmydata: %.2f times git config --file, %.2f times sed -i; the durable save costs %.4f s more."
      % (quick["tarnwick-set"] / quick["git-config"], quick["tarnwick-set"] / quick["sed"],
         synced["tarnwick-set"] - quick["tarnwick-set"]))
print("tarnwick-get: %.2f times git config --get." % (times["tarnwick-get"] / times["git-config-get"]))
print("ten settings, under eatmydata: one tarnwick-set call %.4f s, ten git config calls %.4f s: %.2f times."
      % (ten["tarnwick-set-10"], ten["git-config-10"], ten["tarnwick-set-10"] / ten["git-config-10"]))
print("peak RSS: tarnwick-set %.1f MB, tarnwick-get %.1f MB; the file's size plus 16 bytes a line: %.1f MB."
      % (rss["tarnwick-set"] / 1024, rss["tarnwick-get"] / 1024, limit))
EOF
done

# The picture: time and peak memory against lines, one line per tool (the
# sets under eatmydata; cp, the floor of copying the file, left out).
python3 - "$out" "tarnwick-set git-config crudini sed yq tarnwick-set-10 git-config-10" \
    "tarnwick-get git-config-get crudini-get grep-m1" \
    "${sizes[@]}" >"$out/plot.dat" <<'EOF'
import json, os, sys
out, sets, gets, sizes = sys.argv[1], sys.argv[2].split(), sys.argv[3].split(), sys.argv[4:]
for tool in sets + gets:
    print('"%s"' % tool)
    for lines in sizes:
        times = "%s/%s-%s-%s%s.json" % (out, "set" if tool in sets else "get", lines, tool, "-eatmydata" if tool in sets else "")
        if os.path.exists(times):
            rss = dict(line.rsplit(None, 1) for line in open("%s/rss-%s.txt" % (out, lines)))
            print("%s %.6f %.1f" % (lines, json.load(open(times))["results"][0]["median"], int(rss[tool]) / 1024))
    print("\n")
EOF
"$bench/plot.sh" "$out/plot.dat" "$bench/editing.png" \
    "Change one setting in the middle of a file (under eatmydata), or read it: whole processes"
echo
echo "drawn: bench/editing.png"
