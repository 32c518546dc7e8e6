#!/bin/bash
# A 9-focus x 11-dose window of the dense-lines example, two runs at a time: the whole
# `aerial window` command (nine runs, the matrix, the window, two pictures), wall time.
# Usage: bench/window_bench.sh TOOL EXAMPLE [REPEATS]
set -eu
tool=$1
example=$2
repeats=${3:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The input's file name as the tool states it.
read -r _ input_file <<<"$("$tool" set --list | grep '^input ')"
cp "$example/$input_file" "$work/"

times=()
for ((k = 0; k < repeats; k++)); do
    start=$(date +%s.%N)
    "$tool" window "$work" --defocus -0.2:0.2:0.05 --dose 0.9:1.1:0.02 --target-cd 0.12 --jobs 2 -q >/dev/null
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
done
rows=$(($(wc -l <"$work/window/fem.csv") - 1))
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
best=$(printf '%s\n' "$sorted" | head -1)
median=$(printf '%s\n' "$sorted" | sed -n "$(((repeats + 1) / 2))p")
printf 'window, 9 foci x 11 doses (%d rows), --jobs 2: best %.3f s, median %.3f s of %d\n' \
    "$rows" "$best" "$median" "$repeats"
awk -v m="$median" 'BEGIN { exit !(m < 1) }' || { echo "over the 1 s target"; exit 1; }
