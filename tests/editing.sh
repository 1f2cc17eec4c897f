#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# editing.sh BIN CASE: saves made by tarnwick-set (the Editor's save) under
# real faults: a full file system, a folder that cannot be written, processes
# killed with SIGKILL mid-save, a file too large for memory, several writers at once, a holder of the lock
# that is slow, stopped or dead, the order of the syncs, syncs and reads that fail, a file that cannot be
# read; and a round trip through every golden input. BIN is the folder of the commands.
set -u
bin=$(cd "$1" && pwd)
case=$2
data=$(cd "$(dirname "$0")/data" && pwd)
work=$(mktemp -d)
mounted=
cleanup() {
    [ -z "$mounted" ] || umount "$mounted"
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
set_=$bin/tarnwick-set
get=$bin/tarnwick-get

# LeakSanitizer (in sanitizer builds) cannot run under strace.
traced() { ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 strace "$@"; }

fail() { echo "FAIL: $*"; exit 1; }
skip() { echo "$*: skipped"; exit 77; }

# A small tmpfs of its own (root only), at ./fs.
small_fs() {
    [ "$(id -u)" = 0 ] || skip "mounting a file system needs root"
    mkdir fs && mount -t tmpfs -o "size=$1" tarnwick-test fs 2>/dev/null || skip "no tmpfs can be mounted here"
    mounted=$work/fs
}

# The file with N lines of settings, counter first.
settings() {
    { echo "counter: 0"; seq 1 "$1" | awk '{print "key_" $1 ": [" $1 ", 2.5, x]  # a comment that stays"}'; } >"$2"
}

# The file is one whole version: every other line as it was, counter once.
whole() {
    grep -v '^counter: ' "$1" | cmp -s - base || fail "other lines changed"
    [ "$(grep -c '^counter: ' "$1")" = 1 ] || fail "counter $(grep -c '^counter: ' "$1") times"
}

case $case in
full-disk) # the new file does not fit: the old one stays, nothing is left behind
    small_fs 512k
    settings 5000 fs/f
    head -c $((512 * 1024 - $(stat -c %s fs/f) - 65536)) /dev/zero >fs/filler 2>/dev/null
    cp fs/f before
    "$set_" fs/f counter 1 2>err && fail "saved on a full disk"
    grep -q "No space left on device" err || fail "message: $(cat err)"
    cmp -s before fs/f || fail "the file changed"
    [ "$(ls -A fs)" = "$(printf 'f\nfiller')" ] || fail "left behind: $(ls -A fs)"
    rm fs/filler
    "$set_" fs/f counter 1 || fail "no save once there is room"
    ;;
read-only-folder) # nor a lock nor a new file can be made there
    small_fs 1m
    printf 'k: 1\n' >fs/f
    mount -o remount,ro "$mounted" || skip "no read-only remount"
    "$set_" fs/f k 2 2>err
    [ $? = 2 ] || fail "status, expected 2"
    grep -q "cannot save fs/f: cannot create the lock file fs/f.lock: the folder cannot be written" err \
        || fail "message: $(cat err)"
    [ "$(cat fs/f)" = "k: 1" ] || fail "the file changed"
    ;;
killed-mid-save) # SIGKILL at any moment: one whole version, and the next save at once
    settings 20000 f
    grep -v '^counter: ' f >base
    for i in $(seq 1 40); do
        "$set_" f counter "$i" &
        sleep "0.00$((RANDOM % 10))$((RANDOM % 10))"
        kill -9 $! 2>/dev/null
        wait $! 2>/dev/null
        whole f
        counter=$(sed -n 's/^counter: //p' f)
        [ "$counter" -le "$i" ] || fail "counter $counter after save $i"
    done
    timeout 3 "$set_" f counter done 2>err || fail "the save after the kills waited or failed: $(cat err; ls -la --time-style=+%T.%N)"
    whole f
    [ "$("$get" f counter)" = done ] || fail "the last save is not there"
    ;;
writers-at-once) # four writers, 25 saves each, each of its own key: every change stays
    settings 2000 f
    for w in 1 2 3 4; do
        (for n in $(seq 1 25); do "$set_" f "writer_$w" "$n" || exit 1; done) &
    done
    failed=0
    for w in 1 2 3 4; do wait -n || failed=1; done
    [ $failed = 0 ] || fail "a save failed"
    for w in 1 2 3 4; do
        [ "$("$get" f "writer_$w")" = 25 ] || fail "writer_$w is $("$get" f "writer_$w")"
    done
    settings 2000 expected
    grep -v '^writer_' f | cmp -s - expected || fail "other lines changed"
    ;;
lock-holders) # slow and stopped holders (and removers) are waited for, never broken; an empty lock nobody holds,
    # or a dead one's behind the empty lock of a remover killed at work, is not
    command -v strace >/dev/null || skip "strace is not installed"
    printf 'a: 1\n' >f
    # The holder's lock file synced, then 3 s of delay, under the lock.
    traced -f -o /dev/null -e trace=fdatasync -e inject=fdatasync:delay_enter=3000000:when=1 "$set_" f a 2 &
    holder=$!
    for _ in $(seq 1 200); do [ -s f.lock ] && break; sleep 0.01; done
    [ -s f.lock ] || fail "the holder took no lock"
    "$set_" f b 3 || fail "the second writer did not wait for a slow holder"
    wait $holder || fail "the slow holder failed"
    [ "$("$get" f a)/$("$get" f b)" = 2/3 ] || fail "a change is lost: $(cat f)"
    traced -f -o /dev/null -e trace=fdatasync -e inject=fdatasync:delay_enter=3000000:when=1 "$set_" f a 4 &
    tracer=$!
    for _ in $(seq 1 200); do [ -s f.lock ] && break; sleep 0.01; done
    pid=$(head -n 1 f.lock)
    kill -STOP "$pid"
    "$set_" f b 5 2>err && fail "a stopped holder's lock was broken"
    grep -q "the file is locked by process $pid (tarnwick-set) on .*: gave up after 5 s" err || fail "message: $(cat err)"
    kill -CONT "$pid"
    wait $tracer || fail "the stopped holder failed"
    : >f.lock # a holder killed before it wrote its process id
    timeout 4 "$set_" f b 6 || fail "an empty lock file that nobody holds blocked the save"
    [ "$("$get" f a)/$("$get" f b)" = 4/6 ] && [ ! -e f.lock ] || fail "after: $(cat f), $(ls)"
    # A dead holder's lock, and the lock of a remover killed before it wrote its id.
    (sleep 0.01 & echo $! >dead; wait)
    printf '%s\ntarnwick-set\n%s\n' "$(cat dead)" "$(hostname)" >f.lock
    : >f.lock.rmlock
    timeout 3 "$set_" f b 7 || fail "a dead holder's lock behind an empty remover's lock blocked the save"
    [ "$("$get" f b)" = 7 ] && [ -z "$(ls f.lock* 2>/dev/null)" ] || fail "after: $(cat f), $(ls)"
    # The same behind a live remover: waited for, and named as what blocks.
    printf '%s\ntarnwick-set\n%s\n' "$(cat dead)" "$(hostname)" >f.lock
    sleep 30 </dev/null >/dev/null 2>&1 &
    remover=$!
    printf '%s\nsleep\n%s\n' "$remover" "$(hostname)" >f.lock.rmlock
    flock -o f.lock.rmlock sleep 30 </dev/null >/dev/null 2>&1 &
    flocker=$!
    for _ in $(seq 1 200); do flock -n f.lock.rmlock true || break; sleep 0.01; done
    "$set_" f b 8 2>err && fail "a live remover's lock was broken"
    grep -q "the lock f.lock of process $(cat dead) (tarnwick-set) on .*, which has ended, is being removed under f.lock.rmlock by process $remover (sleep) on .*: gave up after 5 s" err \
        || fail "message: $(cat err)"
    pkill -P "$flocker"
    kill "$remover"
    ;;
syncs-in-order) # the new file synced before the rename, the folder after it
    command -v strace >/dev/null || skip "strace is not installed"
    printf 'k: 1\n' >f
    traced -f -o trace -e trace=openat,fsync,fdatasync,rename,renameat,renameat2 "$set_" f k 2 || fail "save"
    awk '/O_TMPFILE/ {tmp = $NF}
         /^[0-9]+ +f(data)?sync\(/ {n = $2; sub(/^f(data)?sync\(/, "", n); sub(/\).*/, "", n)
             if (n == tmp && !renamed) synced = 1; if (n == dir && renamed) dirSynced = 1}
         /rename/ && /"f"/ {renamed = synced}
         /O_DIRECTORY/ && renamed {dir = $NF}
         END {exit !(synced && renamed && dirSynced)}' trace \
        || fail "order of the syncs: $(grep -E 'sync|rename|TMPFILE|DIRECTORY' trace)"
    ;;
failed-syncs) # a sync that fails is a failed save: of the new file, nothing is written; of the folder, it is said
    command -v strace >/dev/null || skip "strace is not installed"
    printf 'k: 1\n' >f
    traced -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=1 "$set_" f k 2 2>err
    [ $? = 2 ] || fail "status after a failed sync of the new file, expected 2"
    grep -q "cannot save f: cannot write it: Input/output error" err || fail "message: $(cat err)"
    [ "$(cat f)" = "k: 1" ] && [ "$(ls)" = "$(printf 'err\nf')" ] || fail "the file changed: $(cat f), $(ls)"
    traced -f -o /dev/null -e trace=fsync -e inject=fsync:error=EIO:when=2 "$set_" f k 3 2>err
    [ $? = 2 ] || fail "status after a failed sync of the folder, expected 2"
    grep -q "the change is written, but syncing its folder failed (Input/output error): it may not survive a power cut" err \
        || fail "message: $(cat err)"
    [ "$(cat f)" = "k: 3" ] || fail "the new file is not in place: $(cat f)"
    ;;
read-error-under-lock) # the file read again under the lock fails: nothing is written, and it says why
    command -v strace >/dev/null || skip "strace is not installed"
    printf 'k: 1\n' >f
    # The reads before the lock is taken (the loader's own among them), then the first one after.
    traced -f -o trace -e trace=pread64,openat "$set_" f k 2 || fail "save"
    reads=$(sed -n '/f\.lock"/q; /pread64(/p' trace | wc -l)
    printf 'k: 1\n' >f
    traced -f -o /dev/null -e trace=pread64 -e inject=pread64:error=EIO:when=$((reads + 1)) "$set_" f k 3 2>err
    [ $? = 2 ] || fail "status, expected 2"
    grep -q "cannot save f: Input/output error" err || fail "message: $(cat err)"
    [ "$(cat f)" = "k: 1" ] || fail "the file changed: $(cat f)"
    ;;
unreadable-file) # one that cannot be read is not taken for an empty one, at load or under the lock
    command -v strace >/dev/null || skip "strace is not installed"
    as=() # root, whom file modes do not stop, without the capability to override them
    if [ "$(id -u)" = 0 ]; then
        as=(setpriv --inh-caps=-dac_override,-dac_read_search,-fowner --bounding-set=-dac_override,-dac_read_search,-fowner --)
        "${as[@]}" true 2>/dev/null || skip "root cannot give up overriding file modes here"
    fi
    printf 'k: 1\n' >f && chmod 000 f
    "${as[@]}" "$set_" f k 2 2>err
    [ $? = 2 ] && grep -q "cannot read f: Permission denied" err || fail "load of an unreadable file: $(cat err)"
    chmod 600 f
    # Unreadable after load: the save's lock file synced, then 2 s of delay, under the lock.
    ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 "${as[@]}" \
        strace -f -o /dev/null -e trace=fdatasync -e inject=fdatasync:delay_enter=2000000:when=1 "$set_" f k 3 2>err &
    saver=$!
    for _ in $(seq 1 200); do [ -s f.lock ] && break; sleep 0.01; done
    chmod 000 f
    wait $saver
    [ $? = 2 ] && grep -q "cannot save f: Permission denied" err || fail "a file unreadable since load: $(cat err)"
    chmod 600 f
    [ "$(cat f)" = "k: 1" ] || fail "the file changed: $(cat f)"
    ;;
file-beyond-memory) # 400 MB (sparse) under a 300 MB address-space limit: refused, the file as it was
    if ldd "$set_" | grep -q libasan; then
        skip "the sanitizers need more address space than this test allows"
    fi
    truncate -s 400M f
    bash -c "ulimit -v 300000 && exec '$set_' f k v" 2>err
    [ $? = 2 ] || fail "status, expected 2 ($(cat err))"
    grep -q "cannot read f: the file is too large for memory" err || fail "message: $(cat err)"
    [ "$(stat -c %s f)" = $((400 << 20)) ] && [ "$(ls)" = "$(printf 'err\nf')" ] || fail "the file changed: $(ls)"
    ;;
round-trip) # every golden input: what is set is got back, the rest dumps as before
    for input in "$data"/*/input; do
        cp "$input" f
        "$bin/tarnwick" f >before || fail "$input: no dump"
        first=$(head -n 1 before | LC_ALL=C sed 's/ : .*//')
        "$set_" f round_trip "[1.5, x]" 2>/dev/null || fail "$input: not saved"
        if "$set_" f "$first" changed 2>err; then
            [ "$("$get" f "$first")" = changed ] || fail "$input: [$first] is $("$get" f "$first")"
            changed="$first : changed  - as real 0"
        else # a key whose change YAML readers would not keep: refused, nothing written
            [ $? = 1 ] && grep -q "for YAML$" err || fail "$input: not saved: $(cat err)"
            changed=$(head -n 1 before)
        fi
        [ "$("$get" f round_trip | tr '\n' /)" = "1.5/x/" ] || fail "$input: round_trip"
        "$bin/tarnwick" f | grep -a -v -F -x -e "round_trip : [ 1.5 x ] - as real [ 1.5 0 ]" -e "$changed" >after
        grep -a -v -F -x -e "$(head -n 1 before)" before | cmp -s - after || fail "$input: other keys changed"
    done
    ;;
*)
    fail "no case $case"
    ;;
esac
echo "ok"
