#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# run-golden.sh TOOL CASE_DIR
#
# Runs one golden case of the tool and compares what it wrote, byte for byte.
# A case folder holds:
#   cmd      one shell command, run in the case folder with $TOOL (tarnwick),
#            $CHECK (tarnwick-check), $GET (tarnwick-get), $SET (tarnwick-set),
#            $WATCH (tarnwick-watch), the README's programs ($README_EDITOR,
#            $README_WATCHER, $README_LAYERS) and $WORK (an empty folder for
#            the files it writes) set, and the functions watching PID (waits until the
#            process watches a folder) and lines FILE N (waits until the file
#            has N lines)
#            (default: "$TOOL" input)
#   input    the entry file, for cases that read one
#   stdout   expected standard output (default: empty)
#   stderr   expected standard error (default: empty)
#   status   expected exit status (default: 0)
#   locale   a locale the case needs; the case is skipped (exit 77) without it
# A command that exits with 77 where no such status is expected is skipped,
# what it wrote saying why.
set -u
export TOOL=$1
case_dir=$2
work=$(mktemp -d)
export WORK=$work/files
mkdir "$WORK"
trap 'rm -rf "$work"' EXIT

# Skips the case (77) when a locale it runs under is not installed.
need_locale() {
    case $1 in C | POSIX | "") return ;; esac
    local normalized
    normalized=$(printf '%s' "$1" | tr 'A-Z' 'a-z' | sed 's/utf-8$/utf8/')
    if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$normalized"; then
        echo "locale $1 is not installed: skipped"
        exit 77
    fi
}
need_locale "${LC_ALL:-}"
[ -f "$case_dir/locale" ] && need_locale "$(<"$case_dir/locale")"

cmd='"$TOOL" input'
[ -f "$case_dir/cmd" ] && cmd=$(<"$case_dir/cmd")

# For cases that watch: the watcher is ready once the system lists an inotify
# watch of its; its output is there once the lines are.
helpers='watching() { for _ in $(seq 1 3000); do grep -qs "^inotify wd:" /proc/"$1"/fdinfo/* && return; sleep 0.01; done; }
lines() { for _ in $(seq 1 3000); do [ "$(wc -l <"$1")" -ge "$2" ] && return; sleep 0.01; done; }'
(cd "$case_dir" && timeout 60 bash -c "$helpers
$cmd") >"$work/stdout" 2>"$work/stderr" </dev/null
status=$?

failed=0
expected_status=0
[ -f "$case_dir/status" ] && expected_status=$(<"$case_dir/status")
if [ "$status" = 77 ] && [ "$expected_status" != 77 ]; then
    cat "$work/stdout"
    exit 77
fi
if [ "$status" != "$expected_status" ]; then
    echo "exit status: got $status, expected $expected_status"
    failed=1
fi
for stream in stdout stderr; do
    expected=$case_dir/$stream
    [ -f "$expected" ] || expected=/dev/null
    if ! cmp -s "$expected" "$work/$stream"; then
        echo "$stream differs (- expected, + got):"
        diff -u --text "$expected" "$work/$stream" | tail -n +3 | head -40
        failed=1
    fi
done
exit $failed
