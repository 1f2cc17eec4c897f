#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# saver.sh KIND FILE setup|COUNT [FIRST]: saves an entry file as programs do,
# for the watcher's tests and benchmark. "setup" makes FILE (and what KIND
# needs around it) with counter 0; COUNT makes that many saves, numbered from
# FIRST (default 1), 0 to 30 ms apart at random. Every save is a whole file:
# counter N, and gains and a name that say N too, so that a file read
# half-written shows. KIND:
#   editor    tarnwick-set (TARNWICK_SET), which renames a new file into place
#   replace   a new file beside it, renamed over it (a script's os.replace)
#   inplace   written in place: truncated, written, closed
#   recreate  deleted, then written anew after a pause
#   link      FILE is a symbolic link; its target is saved by rename
#   swap      FILE -> ..data/FILE, ..data a link that a new one is renamed over,
#             as Kubernetes mounts configuration
#   pause     written in place in two parts, a pause of up to a second between
set -eu
kind=$1
file=$2
what=$3
first=${4:-1}
dir=$(dirname "$file")
name=$(basename "$file")

content() {
    printf '# saved %d times\ncounter: %d\nname: robot_%d\ngains: [1.5, 2, %d]\n' "$1" "$1" "$1" "$1"
    printf 'payload_%d: %d\n' $(seq 1 20 | sed "s/.*/& $1/")
}
rest() { sleep "$(printf '0.%03d' $((RANDOM % 31)))"; }

setup() {
    case $kind in
    link)
        content 0 >"$dir/$name.target"
        ln -sfn "$name.target" "$file"
        ;;
    swap)
        mkdir -p "$dir/..0"
        content 0 >"$dir/..0/$name"
        ln -sfn ..0 "$dir/..data"
        ln -sfn "..data/$name" "$file"
        ;;
    *) content 0 >"$file" ;;
    esac
}

save() {
    local n=$1
    case $kind in
    editor)
        "$TARNWICK_SET" "$file" counter "$n" name "robot_$n" gains "[1.5, 2, $n]" payload_1 "$n" payload_20 "$n"
        ;;
    replace)
        content "$n" >"$dir/.$name.new"
        mv -f "$dir/.$name.new" "$file"
        ;;
    inplace) content "$n" >"$file" ;;
    recreate)
        rm -f "$file"
        rest
        content "$n" >"$file"
        ;;
    link)
        content "$n" >"$dir/.$name.new"
        mv -f "$dir/.$name.new" "$dir/$name.target"
        ;;
    swap)
        mkdir -p "$dir/..$n"
        content "$n" >"$dir/..$n/$name"
        ln -sfn "..$n" "$dir/..data_tmp"
        mv -T "$dir/..data_tmp" "$dir/..data"
        rm -rf "$dir/..$((n - 2))" # the folder before stays a while: the swap alone is the change
        ;;
    pause)
        {
            content "$n" | head -n 8
            sleep "0.$((RANDOM % 10))"
            content "$n" | tail -n +9
        } >"$file"
        ;;
    esac
}

if [ "$what" = setup ]; then
    setup
    exit 0
fi
for n in $(seq "$first" $((first + what - 1))); do
    save "$n"
    rest
done
