#!/bin/bash
# Studies as users run them: sweeps of named parameters, the focus-exposure window, their
# commands run through GNU parallel, the refusals of --no-run and the messages of errors;
# and the window of a 1:1 grating near the resolution limit against imaging theory.
set -u
tool=$1
example=$2 # examples/focus-series: a periodic 1:1 grating, 0.12 um at 0.24 um pitch
. "$(dirname "$0")/shell_checks.sh"

json() { python3 -c "import json, sys; from decimal import Decimal as D; j = json.load(open(sys.argv[1])); print($2)" "$1"; }
one_line() { [ "$(printf '%s\n' "$2" | wc -l)" = 1 ] && [ ${#2} -lt 200 ] && pass "$1" || fail "$1: $2"; }

case_of grating >/dev/null

# Usage and input errors: exit 2, one short line each.
for args in "--defocus 0:0.1:0 --target-cd 0.1" "--defocus 0:0.1:-0.05 --target-cd 0.1" \
            "--defocus 0:0.1:0.05 --target-cd 0.1 --jobs 0" "--defocus 0:0.1:0.05 --target-cd 0.1 --tolerance 2" \
            "--defocus 0:0.1:0.05 --target-cd -1" "--defocus 0:0.1:0.05 --target-cd 0.1 --feature-at 9"; do
    out=$("$tool" window "$work/grating" $args 2>&1)
    check "window $args" 2 $?
    one_line "window $args: one line" "$out"
done
out=$("$tool" sweep "$work/grating" --vary sigmaa=0.5 2>&1)
check "sweep: unknown parameter" 2 $?
one_line "sweep: unknown parameter in one line" "$(printf '%s' "$out" | cut -c1-120)"
contains "sweep: names the parameter" "$out" "unknown parameter 'sigmaa'"
out=$("$tool" sweep "$work/grating" --defocus 0:0.1:0.05 --jobs 0 2>&1)
check "sweep --jobs 0" 2 $?
one_line "sweep --jobs 0 in one line" "$out"
"$tool" sweep "$work/grating" --vary sigma=0.5 --vary sigma=0.6 >/dev/null 2>&1
check "sweep: a parameter varied twice" 2 $?

# A sweep of sigma and defocus: folders named in --vary order, the effective sigma of the
# rounded source in the table, a note for the range end the step misses.
out=$("$tool" sweep "$work/grating" --vary sigma=0.5,0.8 --vary defocus=0:0.1:0.06 --jobs 2 -q 2>&1)
check "sweep of two parameters" 0 $?
contains "the missed range end is said" "$out" "the last value is 0.06"
[ -d "$work/grating/sweep/sigma_0.8_defocus_0.06" ] && pass "folders named in --vary order" || fail "folder names"
csv="$work/grating/sweep/results.csv"
contains "the table has the effective sigma" "$(head -1 "$csv")" "sigma,defocus,effective_sigma,threshold,cd,status"
# Pupil radius 0.75 x 0.01 x 120 / 0.193 = 4.663 samples; sigma 0.5 rounds its outer
# shifts to 2 samples (2 / 4.663 = 0.4289), sigma 0.8 to 4 (0.8578).
contains "sigma 0.5 rounds to 0.4289" "$(grep '^0.5,0,' "$csv")" "0.5,0,0.428"
contains "sigma 0.8 rounds to 0.8578" "$(grep '^0.8,0,' "$csv")" "0.8,0,0.857"
[ "$(wc -l <"$csv")" = 5 ] && pass "four rows" || fail "rows: $(cat "$csv")"

# The feature never prints at a threshold above the peak: exit 1, the threshold named, no
# picture, and the status (never an empty cell) in the table.
out=$("$tool" sweep "$work/grating" --defocus 0:0.1:0.05 --threshold 0.99 -q --clean 2>&1)
check "sweep: the feature never prints" 1 $?
contains "sweep: names the threshold" "$out" "never prints at threshold 0.99"
[ ! -e "$work/grating/sweep/bossung.png" ] && pass "no empty Bossung picture" || fail "empty Bossung picture"
contains "status in the table" "$(sed -n 2p "$work/grating/sweep/results.csv")" ",not printed,not printed,"
grep -q ',,' "$work/grating/sweep/results.csv" && fail "an empty cell" || pass "no empty cell"
contains "--clean removed the earlier points" "$out" "removed 4 folder(s)"

# Stale folders are named and left out; no progress line when stderr is not a terminal,
# and one with the count of points when it is.
"$tool" sweep "$work/grating" --defocus 0:0.2:0.05 -q >/dev/null 2>&1
out=$("$tool" sweep "$work/grating" --defocus 0:0.1:0.05 2>&1 >/dev/null)
contains "stale folders are reported" "$out" "defocus_0.15, defocus_0.2 (--clean removes them)"
case "$out" in *points/s*) fail "progress line without a terminal" ;; *) pass "quiet without a terminal" ;; esac
[ "$(wc -l <"$work/grating/sweep/results.csv")" = 4 ] && pass "stale folders left out" || fail "stale rows"
if command -v script >/dev/null; then
    out=$(script -qec "'$tool' sweep '$work/grating' --defocus 0:0.1:0.05 --clean" /dev/null)
    contains "progress line on a terminal" "$out" "3 / 3 points"
    out=$(script -qec "'$tool' sweep '$work/grating' --defocus 0:0.1:0.05 -q" /dev/null)
    case "$out" in *points/s*) fail "progress line with -q" ;; *) pass "-q: no progress line" ;; esac
fi

# --format: the Bossung picture as SVG, tabulated again from the runs above, and the PNG
# of the earlier study gone with it; an unknown format refused as plot refuses it.
out=$("$tool" sweep "$work/grating" --defocus 0:0.1:0.05 --no-run --format svg 2>&1)
check "sweep --format svg" 0 $?
grep -q "<svg" "$work/grating/sweep/bossung.svg" && pass "sweep drew bossung.svg" || fail "no bossung.svg"
[ ! -e "$work/grating/sweep/bossung.png" ] && pass "sweep: no PNG of an earlier study left" || fail "stale bossung.png"
contains "sweep names its picture" "$out" "picture $work/grating/sweep/bossung.svg"
out=$("$tool" sweep "$work/grating" --defocus 0:0.1:0.05 --no-run --format gif 2>&1)
check "sweep: unknown format" 2 $?
[ "$out" = "$("$tool" plot "$work/grating" --format gif 2>&1)" ] && pass "sweep refuses a format as plot does" ||
    fail "sweep --format gif: $out"

# The commands through GNU parallel from another working folder, then --no-run: the same
# table as a run by the tool itself.
if command -v parallel >/dev/null; then
    case_of batch >/dev/null
    "$tool" sweep "$work/batch" --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 --print-commands >"$work/commands" 2>/dev/null
    check "print-commands" 0 $?
    contains "absolute paths" "$(head -1 "$work/commands")" "$tool run -q --no-check $work/batch/sweep/sigma_0.5_defocus_-0.1"
    (cd / && parallel --will-cite -j 2 <"$work/commands")
    check "the commands run under parallel" 0 $?
    "$tool" sweep "$work/batch" --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 --no-run -q
    check "--no-run tabulates" 0 $?
    case_of direct >/dev/null
    "$tool" sweep "$work/direct" --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 -q --jobs 2
    cmp -s "$work/batch/sweep/results.csv" "$work/direct/sweep/results.csv" &&
        pass "parallel's table is the tool's" || fail "tables differ"

    # --no-run refuses points whose tables are missing, cut short or older than the input.
    point="$work/batch/sweep"
    rm "$point/sigma_0.5_defocus_-0.1/$spectrum_phase_table"
    head -c 1000 "$point/sigma_0.5_defocus_0/$image_table" >"$work/cut" && mv "$work/cut" "$point/sigma_0.5_defocus_0/$image_table"
    touch -d '+1 minute' "$point/sigma_0.8_defocus_0.1/$input_file"
    out=$("$tool" sweep "$work/batch" --vary sigma=0.5,0.8 --defocus -0.1:0.1:0.1 --no-run 2>&1)
    check "--no-run refuses" 1 $?
    contains "names the missing table" "$out" "sigma_0.5_defocus_-0.1: $spectrum_phase_table is missing"
    contains "names the table cut short" "$out" "sigma_0.5_defocus_0: $image_table is cut short"
    contains "names the table older than its input" "$out" "sigma_0.8_defocus_0.1: $spectrum_amplitude_table is older than $input_file"
else
    echo "skip: GNU parallel is not installed (scripts/install-deps.sh installs it)"
fi

# The window of the grating. Target 0.10 um (spaces printed 20 % under the mask's 1:1), T0 0.3.
case_of sigma-0.5 >/dev/null
case_of sigma-0.8 sigma=0.8 >/dev/null
dof() { json "$1/window/window.json" "j['windows'][0]['dof']"; }
for s in 0.5 0.8; do
    for tol in 0.15 0.1 0.05; do
        # The sampled foci only: the relations hold on them too, and the refining runs (tested
        # with the mask studies) would multiply the runs.
        "$tool" window "$work/sigma-$s" --defocus -0.6:0.6:0.05 --target-cd 0.1 --tolerance $tol --sampled -q >/dev/null
        check "window sigma $s tolerance $tol" 0 $?
        eval "dof_${s/./}_${tol/./}=$(dof "$work/sigma-$s")"
        echo "   DOF at EL 0: $(dof "$work/sigma-$s") (sigma $s, tolerance $tol)"
    done
done
le() { python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) <= float(sys.argv[2]) else 1)" "$1" "$2"; }
lt() { python3 -c "import sys; sys.exit(0 if float(sys.argv[1]) < float(sys.argv[2]) else 1)" "$1" "$2"; }
for s in 05 08; do
    eval "a=\$dof_${s}_015 b=\$dof_${s}_01 c=\$dof_${s}_005"
    le "$b" "$a" && le "$c" "$b" && pass "sigma $s: DOF never grows as the tolerance shrinks ($a, $b, $c)" ||
        fail "sigma $s: DOF $a, $b, $c"
done
# The first order (1 / 0.24 um = 5 spectral samples) lies beyond the pupil (4.66): only
# two-beam images print, and their focus sensitivity goes with the difference of the two
# beams' rho^2. Sigma 0.5 puts 6 of its 8 imaging points at a shift of 1 sample (beams at
# 1 and -4: 16 - 1 = 15), sigma 0.8 puts them at 2 (beams at 2 and -3: 9 - 4 = 5), closer
# to the focus-free symmetric shift 2.5 (sigma x NA = wavelength / (2 pitch)). So the
# larger sigma has the larger depth of focus at every tolerance.
for tol in 015 01 005; do
    eval "a=\$dof_05_$tol b=\$dof_08_$tol"
    lt "$a" "$b" && pass "tolerance $tol: DOF grows from sigma 0.5 to 0.8 ($a < $b)" || fail "tolerance $tol: $a, $b"
done

# The window's pictures as PDF from the runs of the last window of sigma 0.8, in place of
# its PNGs.
"$tool" window "$work/sigma-0.8" --defocus -0.6:0.6:0.05 --target-cd 0.1 --tolerance 0.05 --sampled --no-run -q --format pdf >/dev/null
check "window --format pdf" 0 $?
for p in fem_bossung ed_window; do
    [ "$(head -c 5 "$work/sigma-0.8/window/$p.pdf")" = "%PDF-" ] && pass "window drew $p.pdf" || fail "no $p.pdf"
    [ ! -e "$work/sigma-0.8/window/$p.png" ] && pass "window: no $p.png left" || fail "stale $p.png"
done
# --dose as a list, as every command reads one: fem.csv holds each focus at each dose given.
"$tool" window "$work/sigma-0.8" --defocus -0.6:0.6:0.05 --target-cd 0.1 --tolerance 0.05 --sampled --no-run -q \
    --dose 0.95,1.05 >/dev/null
check "window --dose 0.95,1.05" 0 $?
doses=$(awk -F, 'NR > 1 { print $2 }' "$work/sigma-0.8/window/fem.csv" | sort -u | tr '\n' ' ')
[ "$doses" = "0.95 1.05 " ] && pass "fem.csv at the doses listed" || fail "fem.csv doses: $doses"

# The CD at best focus and the dose to size, measured by metrics at T0 / E: the target.
w="$work/sigma-0.5/window/window.json"
threshold=$(json "$w" "repr(j['t0'] / j['dose_to_size'])")
folder="$(dirname "$w")/$(json "$w" "j['best_focus_folder']")"
cd_measured=$("$tool" metrics "$folder" --threshold "$threshold" --json | python3 -c "import json, sys; print(json.load(sys.stdin)['feature']['cd'])")
python3 -c "import sys; sys.exit(0 if abs(float(sys.argv[1]) - 0.1) <= 0.005 * 0.1 else 1)" "$cd_measured" &&
    pass "CD at best focus and dose to size is the target ($cd_measured)" || fail "CD $cd_measured"
for f in fem.csv window.json fem_bossung.png ed_window.png; do
    [ -s "$work/sigma-0.5/window/$f" ] && pass "window wrote $f" || fail "window $f"
done
keys=$(json "$w" "' '.join(list(j)[:7]) + ' ' + ' '.join(j['windows'][0])")
contains "window.json keys" "$keys" "target_cd tolerance t0 best_focus dose_to_size max_el windows el dof focus_min focus_max dose_min dose_max"
grep -q ',,' "$work/sigma-0.5/window/fem.csv" && fail "fem.csv has an empty cell" || pass "fem.csv has no empty cell"
# Each depth of focus is the decimal difference of its window's foci as written (not the
# doubles' difference, 0.15000000000000002 for 0.1 - -0.05), each latitude 2k % exactly.
noise=$(json "$w" "[w for w in j['windows'] if float(D(repr(w['focus_max'])) - D(repr(w['focus_min']))) != w['dof'] or w['el'] != round(w['el'] * 50) * 2 / 100]" 2>&1)
[ "$noise" = "[]" ] && pass "window.json depths and latitudes without float noise" || fail "noisy windows: $noise"

# A best focus between sampled foci gets a run of its own; --print-commands and --no-run.
# (an even number of foci round 0: the best focus, 0, is not sampled)
out=$("$tool" window "$work/sigma-0.5" --defocus -0.275:0.275:0.05 --target-cd 0.1 --clean --print-commands 2>/dev/null)
[ "$(printf '%s\n' "$out" | wc -l)" = 12 ] && pass "window prints a command per focus" || fail "window commands: $out"
(cd / && printf '%s\n' "$out" | sh)
out=$("$tool" window "$work/sigma-0.5" --defocus -0.275:0.275:0.05 --target-cd 0.1 --no-run --json 2>&1)
check "window --no-run asks for the best focus between sampled foci" 1 $?
contains "it names the best-focus folder" "$out" "best-focus"
"$tool" run -q "$work/sigma-0.5/window/best-focus"
out=$("$tool" window "$work/sigma-0.5" --defocus -0.275:0.275:0.05 --target-cd 0.1 --no-run --json 2>&1)
check "window --no-run after the best focus ran" 0 $?
contains "best focus between samples" "$out" '"best_focus": 0.0'
contains "measured in its own folder, named from the window's" "$out" '"best_focus_folder": "best-focus"'

# A target CD the feature reaches at no focus: exit 1, a message, no pictures.
out=$("$tool" window "$work/sigma-0.5" --defocus -0.1:0.1:0.05 --target-cd 0.3 --clean 2>&1)
check "window: target reached at no focus" 1 $?
contains "window: says so" "$out" "reaches the target CD 0.3 um (tolerance 0.1) at no focus"
[ ! -e "$work/sigma-0.5/window/fem_bossung.png" ] && pass "no empty window picture" || fail "stale picture left"
# ... nor the earlier window's figures and manifest, read as this one's.
for f in fem.csv window.json manifest.json; do
    [ ! -e "$work/sigma-0.5/window/$f" ] && pass "no window: no earlier $f left" || fail "no window: stale $f"
done

finish
