#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# bench/plot.sh DATA PICTURE TITLE [TIME]: draws a time (TIME names it; the
# median time by default) and peak RSS against the lines in the file, side by
# side, both on logarithmic scales, one line per program. DATA holds a block
# per program: its name in double quotes, then "lines seconds megabytes" rows,
# blocks two blank lines apart.
set -euo pipefail
data=$1
picture=$2
title=$3
time=${4:-median time}
programs=$(grep -c '^"' "$data")
gnuplot <<GNUPLOT
set terminal pngcairo size 1200,480 font "sans,10"
set output "$picture"
set multiplot layout 1,2 title "$title"
set logscale xy
set grid
set key top left
set xlabel "lines in the file"
set ylabel "$time (s)"
plot for [i=0:$((programs - 1))] "$data" index i using 1:2 with linespoints title columnheader(1)
set ylabel "peak RSS (MB)"
plot for [i=0:$((programs - 1))] "$data" index i using 1:3 with linespoints title columnheader(1)
unset multiplot
GNUPLOT
