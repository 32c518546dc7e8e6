#!/bin/bash
# A 20 x 20 um block end to end with the defaults, in this process on 2 threads: lines (one
# pinched below printing), contacts and L-shaped routing written with gdspy, cut into tiles
# (aerial tile), run (run-tiles --jobs 2), stitched at 0.01 um and verified with focus corners at
# +-0.1 um. Wall time of each command and of all four, against the target of 60 s; the pinch
# must be the one pinch hotspot, at its place.
# Usage: bench/tiles_bench.sh TOOL
set -eu
tool=$(readlink -f "$1")
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$here/../tests/tile_layouts.py" block "$work/block.gds"

total=0
step() {
    local label=$1
    shift
    local start end took
    start=$(date +%s.%N)
    "$tool" "$@" >"$work/out.txt"
    end=$(date +%s.%N)
    took=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    total=$(awk -v a="$total" -v b="$took" 'BEGIN { printf "%.2f", a + b }')
    printf '  %-34s %7s s   %s\n' "$label" "$took" "$(head -c 160 "$work/out.txt" | head -1)"
}
echo "tiles: a 20 x 20 um block, the defaults, 2 threads"
step "tile" tile "$work/block.gds" "$work/t" --cell TOP --layer 1/0 --region 0,0,20,20
step "run-tiles --jobs 2" run-tiles "$work/t" --jobs 2
step "stitch" stitch "$work/t"
step "verify --focus -0.1,0.1" verify "$work/t" --focus -0.1,0.1 --jobs 2
pinches=$(/usr/bin/python3 -c "
import json
r = json.load(open('$work/t/verify.json'))
p = [h for h in r['hotspots']['list'] if h['kind'] == 'pinch']
print(len(p), *(f'({h[\"x\"]:.3f}, {h[\"y\"]:.3f})' for h in p))")
printf '  %-34s %7s s   (target 60 s); pinch hotspots: %s (drawn at (5.000, 10.000))\n' "all four" "$total" "$pinches"
