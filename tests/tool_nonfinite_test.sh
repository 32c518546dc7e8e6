#!/bin/bash
# Inputs whose tables hold NaN or infinities: check and run say so, and metrics, plot, sweep
# and window name the table and its first such cell (exit 1) instead of measuring it.
set -u
tool=$1
example=$2
focus_series=$3
. "$(dirname "$0")/shell_checks.sh"

# Where the first non-finite number lands, by the tables' layout: line 1 is the title,
# line 2 the axis row (an empty cell, then the labels), line 3 the first row (its label,
# then its cells); columns count from 1.
first_label="line 2, column 2"
first_cell="line 3, column 2"

# A 32-sample copy of the example, the pitch grown with it (as the other tool tests do).
case_of infinite grid=32 sample-pitch=0.04 wavelength=1e999 >/dev/null
case_of no-aperture grid=32 sample-pitch=0.04 na=0 >/dev/null
case_of clean grid=32 sample-pitch=0.04 >/dev/null
# An aberration the check has no limit for, whose phase overflows: finite input, NaN image
# (also as a study's point, which the study checks no further than a run).
case_of overflow grid=32 sample-pitch=0.04 ax2=1e308 >/dev/null
mkdir -p "$work/grating" && cp "$focus_series/$input_file" "$work/grating/" && "$tool" set "$work/grating" ax2=1e308

# The runs, in order: each row is its exit status, a part of what it prints, then the command.
# - wavelength 1e999 reads as inf: every direction sine offset x wavelength / (N x pitch) of
#   the spectrum tables is infinite, the first (offset -N/2) -inf; with NA 0 the pupil
#   passes nothing and the image is 0/0 (the open frame's normalisation), NaN everywhere.
cases=(
    "1|wavelength is infinite: the tables would be NaN or meaningless|check $work/infinite"
    "2|not run: wavelength is infinite|run $work/infinite"
    "2|not run: na is 0|run $work/no-aperture"
    "0|the tables hold non-finite values; $work/infinite/$spectrum_amplitude_table: $first_label holds -inf: the run's input gives no finite spectrum (see aerial check)|run --no-check $work/infinite"
    "0|the tables hold non-finite values; $work/no-aperture/$image_table: $first_cell holds nan: the run's input gives no finite image|run --no-check $work/no-aperture"
    "1|the tables hold non-finite values|run $work/overflow"
    "1|the tables hold non-finite values; $work/infinite/$spectrum_amplitude_table: $first_label holds -inf|run --no-check --metrics $work/infinite"
    "1|$work/infinite/$image_table: $first_cell holds nan: the run's input gives no finite image (see aerial check)|metrics $work/infinite"
    "1|$work/infinite/$image_table: $first_cell holds nan|metrics --threshold 0.3 --json $work/infinite"
    "1|$work/no-aperture/$image_table: $first_cell holds nan|plot $work/no-aperture"
    "1|$work/infinite/$image_table: $first_cell holds nan|plot $work/infinite"
    "1|$work/infinite/$image_table: $first_cell holds nan|report -q $work/infinite"
    "1|1 of 2 points not measured, their image is not finite (status 'image not finite' in $work/clean/sweep/results.csv); the first: |sweep -q $work/clean --vary ax2=0,1e308"
    "1|the first: |sweep -q --no-run $work/clean --vary ax2=0,1e308"
    "1|no window: the window needs every focus, and 3 of 3 foci have an image that is not finite (status 'image not finite' in $work/grating/window/fem.csv); the first: |window -q $work/grating --defocus -0.05:0.05:0.05 --target-cd 0.1"
)
for row in "${cases[@]}"; do
    IFS='|' read -r status words command <<<"$row"
    # shellcheck disable=SC2086 # the command's words, split as typed
    out=$("$tool" $command 2>&1 </dev/null)
    check "$command" "$status" $?
    contains "$command: says so" "$out" "$words"
    lacks "$command: measures nothing" "$out" "contrast   "
    lacks "$command: no summary of a sound run" "$out" " s, tables in "
done

# Run and its metrics in one command: the tables' fault is said once, by the run.
out=$("$tool" run --no-check --metrics "$work/infinite" 2>&1 </dev/null)
said=$(grep -c "holds " <<<"$out")
[ "$said" = 1 ] && pass "run --metrics: the non-finite tables said once" ||
    fail "run --metrics: the non-finite tables said $said times: $out"

# The point's own row says why it has no figures, in every figure's column; the point
# whose image is finite is measured as ever.
csv=$(cat "$work/clean/sweep/results.csv")
contains "sweep: the measured point" "$csv" $'\n0,0.3,'
contains "sweep: the point whose phase overflows" "$csv" ",image not finite,image not finite,"
lacks "sweep: no figure is nan" "$csv" "nan"
out=$("$tool" sweep -q "$work/clean" --vary ax2=0,1e308 2>&1)
contains "sweep: the first such point by its table" "$out" "sweep/ax2_"
contains "sweep: ... and its first cell" "$out" "/$image_table: $first_cell holds nan: the run's input gives no finite image"
[ -e "$work/grating/window/window.json" ] && fail "window: no window.json without a window" ||
    pass "window: no window.json without a window"
fem=$(cat "$work/grating/window/fem.csv")
contains "window: each focus says why it has no figures" "$fem" "-0.05,none,none,image not finite,image not finite"
contains "window: the focus 0 too" "$fem" $'\n0,none,none,image not finite'

finish
