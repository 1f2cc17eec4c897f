#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# run.sh package PREFIX PROGRAM: builds PROGRAM (and defaults.cpp) against
#   the library installed under PREFIX, once with its CMake package and once
#   with pkg-config (--static for a static install), and runs them.
# run.sh subproject SOURCE PROGRAM: the same from the source tree SOURCE,
#   with add_subdirectory and with FetchContent from an archive of it; checks
#   that nothing of ours (tests, commands, install rules) reaches the parent.
# The programs run from the project's root (PROGRAM reads examples/robot.yaml).
set -euo pipefail
how=$1
place=$(realpath "$2")
program=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expected='^"Rover 7" 0.0825 Q(List|Vector)\(2.5, 0.01, 0.3\) 0.8 480 true$'
expected_defaults='^"Rover 7" Q(List|Vector)\(2.5, 0.01, 0.3\)$'

# build_and_run NAME CMAKE_ARGS...: the consumer project, built and run.
build_and_run() {
    local name=$1; shift
    echo "consumer: $name"
    cmake -S "$here" -B "$work/$name" -DPROGRAM="$program" "$@" >"$work/$name.log" 2>&1 \
        || { cat "$work/$name.log"; exit 1; }
    cmake --build "$work/$name" -j2 >>"$work/$name.log" 2>&1 || { cat "$work/$name.log"; exit 1; }
    (cd "$root" && "$work/$name/consumer") 2>&1 | tee "$work/out" && grep -Eq "$expected" "$work/out"
    "$work/$name/defaults" 2>&1 | tee "$work/out" && grep -Eq "$expected_defaults" "$work/out"
}

case $how in
package)
    export LD_LIBRARY_PATH="$place/lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
    build_and_run find_package -DCMAKE_PREFIX_PATH="$place"
    static=
    [ -n "$(find "$place/lib" -name 'libplinto-yaml.a' -print -quit)" ] && static=--static
    echo "consumer: pkg-config plinto-yaml $static"
    pc_dir=$(dirname "$(find "$place/lib" -name plinto-yaml.pc -print -quit)")
    # shellcheck disable=SC2046
    c++ -std=c++17 "$program" -o "$work/pc-consumer" \
        $(PKG_CONFIG_PATH="$pc_dir" pkg-config $static --cflags --libs plinto-yaml)
    (cd "$root" && "$work/pc-consumer") 2>&1 | tee "$work/out" && grep -Eq "$expected" "$work/out"
    ;;
subproject)
    for way in subdirectory fetchcontent; do
        if [ $way = fetchcontent ]; then
            tar -C "$place" --exclude='./build*' --exclude=./.git --exclude='./obj-*' -czf "$work/tarnwick.tar.gz" .
        fi
        build_and_run $way -DHOW=$way -DTARNWICK_SOURCE="$place" -DTARNWICK_ARCHIVE="$work/tarnwick.tar.gz"
        tests=$(ctest --test-dir "$work/$way" -N | sed -n 's/^Total Tests: //p')
        [ "$tests" = 1 ] || { echo "the parent has $tests tests, not its own one"; exit 1; }
        cmake --install "$work/$way" --prefix "$work/$way-prefix" >/dev/null
        installed=$(cd "$work/$way-prefix" && find . -type f | sort | tr '\n' ' ')
        [ "$installed" = "./bin/consumer ./bin/defaults " ] || { echo "installed: $installed"; exit 1; }
    done
    ;;
*)
    echo "usage: run.sh package PREFIX PROGRAM | run.sh subproject SOURCE PROGRAM"; exit 2
    ;;
esac
echo "consumer: $how passed"
