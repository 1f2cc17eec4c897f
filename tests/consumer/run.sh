#!/usr/bin/env bash
# run.sh PREFIX PROGRAM: builds PROGRAM against the library installed under
# PREFIX, once with its CMake package and once with pkg-config, and runs both
# from the project's root (the program reads examples/robot.yaml).
set -euo pipefail
prefix=$(realpath "$1")
program=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
expected='^"Rover 7" 0.0825 Q(List|Vector)\(2.5, 0.01, 0.3\)$'

echo "consumer: find_package(PlintoYaml)"
cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DPROGRAM="$program" >/dev/null
cmake --build "$work/cmake" >/dev/null
(cd "$root" && LD_LIBRARY_PATH="$prefix/lib" "$work/cmake/consumer") 2>&1 | tee "$work/out1"
grep -Eq "$expected" "$work/out1"

echo "consumer: pkg-config plinto-yaml"
pc_dir=$(dirname "$(find "$prefix" -name plinto-yaml.pc -print -quit)")
# shellcheck disable=SC2046
c++ -std=c++17 "$program" -o "$work/pc-consumer" $(PKG_CONFIG_PATH="$pc_dir" pkg-config --cflags --libs plinto-yaml)
(cd "$root" && LD_LIBRARY_PATH="$prefix/lib" "$work/pc-consumer") 2>&1 | tee "$work/out2"
grep -Eq "$expected" "$work/out2"
echo "consumer: both passed"
