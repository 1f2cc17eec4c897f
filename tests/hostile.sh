#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# hostile.sh TOOL CASE: the tool against inputs too large, odd or slow to keep
# as golden files; each is made at test time in a temporary folder.
set -u
tool=$1
case=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

fail() { echo "FAIL: $*"; exit 1; }
# expect STATUS: runs the command that follows with a time limit and checks
# its exit status; stdout in out, stderr in err.
expect() {
    local want=$1; shift
    timeout 120 "$@" >out 2>err
    local got=$?
    [ "$got" = "$want" ] || fail "exit status $got, expected $want ($(head -c 300 err))"
}

case $case in
long-line) # one 256 MiB value, then an ordinary line
    { printf 'k: '; head -c $((256 << 20)) /dev/zero | tr '\0' x; printf '\nafter: 1\n'; } >in
    expect 0 "$tool" in
    [ "$(head -n 1 out)" = "after : 1  - as real 1" ] || fail "first line: $(head -c 80 out)"
    [ "$(wc -c <out)" = $(( 23 + 4 + (256 << 20) + 14 )) ] || fail "size $(wc -c <out)"
    [ "$(tail -n 1 out | head -c 8)" = "k : xxxx" ] || fail "second line starts $(tail -n 1 out | head -c 8)"
    [ "$(tail -c 18 out)" = "xxxx  - as real 0" ] || fail "second line ends $(tail -c 18 out)"
    ;;
hundred-thousand-items)
    seq -s ', ' 0 99999 | sed 's/^/big: [/; s/$/]/' >in
    expect 0 "$tool" in
    [ "$(wc -l <out)" = 1 ] || fail "lines: $(wc -l <out)"
    # "big" ":" "[" 100000 items "]" "-" "as" "real" "[" 100000 numbers "]"
    [ "$(wc -w <out)" = 200009 ] || fail "words: $(wc -w <out)"
    [ "$(tr ' ' '\n' <out | grep -c '^99999$')" = 2 ] || fail "last item"
    ;;
fifo-with-writer)
    mkfifo fifo
    (printf 'name: robot\ngains: [1.5, 2, x]\n' >fifo &)
    expect 0 "$tool" fifo
    printf 'gains : [ 1.5 2 x ] - as real [ 1.5 2 0 ]\nname : robot  - as real 0\n' | cmp -s - out \
        || fail "dump: $(cat out)"
    ;;
process-substitution)
    expect 0 "$tool" <(printf 'a: 1\r\nb: [2, 3]\n')
    printf 'a : 1  - as real 1\nb : [ 2 3 ] - as real [ 2 3 ]\n' | cmp -s - out || fail "dump: $(cat out)"
    ;;
nul-stream) # 1 GiB of NUL bytes and no line feed, from a pipe, in 600 MB of address
    # space: read to the end in bounded memory, nothing to dump
    if ldd "$tool" | grep -q libasan; then
        echo "the sanitizers need more address space than this test allows: skipped"
        exit 77
    fi
    expect 0 bash -c "ulimit -v 600000 && head -c $((1 << 30)) /dev/zero | '$tool' /dev/stdin"
    [ ! -s out ] && [ ! -s err ] || fail "output: $(head -c 80 out) $(head -c 200 err)"
    ;;
latin1-file-name) # a name that is not UTF-8 still opens, and errors name it byte for byte
    name=$(printf 'caf\xe9.yaml')
    printf 'a: 1\n' >"$name"
    expect 0 "$tool" "$name"
    [ "$(cat out)" = "a : 1  - as real 1" ] || fail "dump: $(cat out) $(cat err)"
    expect 1 "$tool" "$(printf 'missing-\xe9.yaml')"
    printf 'Error parsing missing-\xe9.yaml' | cmp -s - err || fail "message: $(cat err)"
    ;;
line-beyond-memory) # a 300 MiB line with 600 MB of address space: an error, not a crash
    if ldd "$tool" | grep -q libasan; then
        echo "the sanitizers need more address space than this test allows: skipped"
        exit 77
    fi
    { printf 'k: '; head -c $((300 << 20)) /dev/zero | tr '\0' x; printf '\n'; } >in
    expect 1 bash -c "ulimit -v 600000 && exec '$tool' in"
    [ "$(cat err)" = "Error parsing in" ] && [ ! -s out ] || fail "messages: $(head -c 200 err)"
    ;;
nonblocking-output) # a non-blocking pipe that fills up: the tool waits, nothing is lost
    if ! command -v python3 >/dev/null; then
        echo "python3 sets up the non-blocking pipe and is not installed: skipped"
        exit 77
    fi
    seq 1 100000 | sed 's/.*/key_&: [&, x]/' >in
    expect 0 "$tool" in
    mv out expected
    python3 - "$tool" <<'PY' || fail "dump through a non-blocking pipe differs"
import fcntl, os, subprocess, sys, time
r, w = os.pipe()
fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) | os.O_NONBLOCK)
tool = subprocess.Popen([sys.argv[1], "in"], stdout=w)
os.close(w)
time.sleep(0.3)  # let the pipe fill
with os.fdopen(r, "rb") as pipe:
    got = pipe.read()
sys.exit(tool.wait() != 0 or got != open("expected", "rb").read())
PY
    ;;
libraries-in-working-directory) # the tool never loads a library from where it is run
    for lib in libplinto-yaml.so.1 libQt6Core.so.6 libQt5Core.so.5 libstdc++.so.6 libc.so.6; do
        echo "not a library" >"$lib"
    done
    printf 'a: 1\n' >in
    expect 0 "$tool" in
    [ "$(cat out)" = "a : 1  - as real 1" ] || fail "dump: $(cat out) $(cat err)"
    ;;
short-lines-stream) # 400 MB of short lines from a pipe in 600 MB of address space: the
    # read buffer keeps only the line being read, so memory stays bounded
    if ldd "$tool" | grep -q libasan; then
        echo "the sanitizers need more address space than this test allows: skipped"
        exit 77
    fi
    expect 0 bash -c "ulimit -v 600000 && yes 'not an entry' | head -c $((400 << 20)) | '$tool' /dev/stdin"
    [ ! -s out ] && [ ! -s err ] || fail "output: $(head -c 80 out) $(head -c 200 err)"
    ;;
check-many-findings) # tarnwick-check with far more findings than one output buffer holds
    seq 1 30000 | sed 's/^/no colon on line /' >in
    expect 1 "$(dirname "$tool")/tarnwick-check" in
    [ "$(wc -l <out)" = 30000 ] || fail "lines: $(wc -l <out)"
    [ "$(tail -n 1 out)" = "in:30000: not an entry (no colon): no colon on line 30000" ] || fail "last: $(tail -n 1 out)"
    ;;
dev-null)
    expect 0 "$tool" /dev/null
    [ ! -s out ] && [ ! -s err ] || fail "output"
    ;;
unreadable-file)
    if [ "$(id -u)" = 0 ]; then
        echo "running as root, who reads every file: skipped"
        exit 77
    fi
    printf 'a: 1\n' >secret && chmod 000 secret
    expect 1 "$tool" secret
    [ "$(cat err)" = "Error parsing secret" ] && [ ! -s out ] || fail "messages"
    ;;
*)
    fail "no such case: $case"
    ;;
esac
echo "ok: $case"
