#!/bin/bash
# plot and report on every bundled example, as users run them: the pictures in each format,
# and the report as a document to hand on: a first page of what was simulated, warnings
# first, and the headline figures; the run's page; for each study the formatted tables of
# what its manifest lists, long ones continued on the next page; red lines where the tables
# or a study do not belong to the input as it is now.
set -u
tool=$1
examples=$2
example=$examples/two-rectangles
. "$(dirname "$0")/shell_checks.sh"
for p in pdfinfo pdftotext pdftoppm; do
    command -v $p >/dev/null || { echo "FAIL: $p missing (scripts/install-deps.sh installs poppler-utils)"; exit 1; }
done

pages_of() { pdfinfo "$1" 2>/dev/null | sed -n 's/^Pages: *//p'; }
text_of() { pdftotext -layout "$1" - 2>/dev/null; }
# page_of PDF K: the text of page K alone
page_of() { pdftotext -layout -f "$2" -l "$2" "$1" - 2>/dev/null; }
# The line number of the first line holding the text, or 0.
line_of() { local n; n=$(printf '%s\n' "$1" | grep -n -m1 -F -- "$2" | cut -d: -f1); echo "${n:-0}"; }
# red_pixels PDF K: how many pixels of page K are the red of the report's alerts (the first
# page holds no picture, so no other red).
red_pixels() {
    pdftoppm -r 36 -f "$2" -l "$2" -singlefile "$1" "$work/page" &&
        python3 - "$work/page.ppm" <<'EOF'
import sys
data = open(sys.argv[1], "rb").read()
fields, at = [], 0
while len(fields) < 4:  # P6, width, height, maximum, each after white space
    while data[at:at + 1].isspace(): at += 1
    start = at
    while not data[at:at + 1].isspace(): at += 1
    fields.append(data[start:at])
pixels = data[at + 1:]
print(sum(1 for k in range(0, len(pixels) - 2, 3)
          if pixels[k] > 150 and pixels[k + 1] < 90 and pixels[k + 2] < 90))
EOF
}

# Every bundled example: runs and reports; the path of the PDF is what report prints.
for input in "$examples"/*/"$input_file" "$examples"/python/*/"$input_file"; do
    source=$(dirname "$input")
    name=${source#"$examples"/}
    name=${name//\//-}
    case=$work/$name
    cp -r "$source" "$case"
    for t in $tables; do rm -f "$case/$t"; done
    rm -f "$case/report.pdf" "$case"/*/manifest.json
    "$tool" run "$case" -q 2>/dev/null
    check "$name: run" 0 $?
    out=$("$tool" report "$case" --threshold 0.25)
    check "$name: report" 0 $?
    [ "$out" = "$case/report.pdf" ] && pass "$name: report prints the PDF's path" || fail "$name: report printed '$out'"
    pages=$(pages_of "$case/report.pdf")
    [ "${pages:-0}" -ge 2 ] && pass "$name: report opens, $pages pages" || fail "$name: report has '${pages}' pages"
    page1=$(page_of "$case/report.pdf" 1)
    contains "$name: the first page says what was simulated" "$page1" "What was simulated"
    contains "$name: ... and its effective sigma" "$page1" "effective"
    contains "$name: ... and the headline figures" "$page1" "Headline figures"
done
# Study folders without a manifest (the bundled focus series keeps its tables for its
# README): nothing of them is shown, in red on the first page.
text=$(page_of "$work/focus-series/report.pdf" 1)
contains "a study folder without a manifest is named" "$text" "sweep/: no manifest.json"
lacks "... and none of its tables shown" "$(text_of "$work/focus-series/report.pdf")" "The points (results.csv)"

# The focus series after a sweep and a window of its own, with a title and notes.
fs=$work/fs
mkdir "$fs" && cp "$examples/focus-series/$input_file" "$fs/"
"$tool" run "$fs" -q
# 2 sigmas x 61 foci: more rows than a page holds.
"$tool" sweep "$fs" --vary sigma=0.5,0.8 --defocus -0.3:0.3:0.01 --threshold 0.36 --jobs 2 -q >/dev/null 2>&1
check "focus series: sweep" 0 $?
"$tool" window "$fs" --defocus -0.3:0.3:0.05 --target-cd 0.1 --jobs 2 -q >/dev/null 2>&1
check "focus series: window" 0 $?
# Each study's manifest: its command, the hash of the input as sha256sum gives it, its files.
manifest_of() { python3 -c "import json, sys; m = json.load(open(sys.argv[1])); print($2)" "$fs/$1/manifest.json"; }
[ "$(manifest_of sweep 'm["inputs"][0]["file"], m["inputs"][0]["sha256"]')" = \
  "../$input_file $(sha256sum <"$fs/$input_file" | cut -d' ' -f1)" ] &&
    pass "the sweep's manifest holds the input's SHA-256" || fail "manifest: $(cat "$fs/sweep/manifest.json")"
contains "the sweep's manifest holds its command" "$(manifest_of sweep 'm["command"]')" "aerial sweep $fs --vary sigma=0.5,0.8"
[ "$(manifest_of sweep '" ".join(m["files"])')" = "results.csv bossung.png" ] && pass "the sweep's files" ||
    fail "the sweep's files: $(manifest_of sweep 'm["files"]')"
[ "$(manifest_of window '" ".join(m["files"])')" = "fem.csv window.json fem_bossung.png ed_window.png" ] &&
    pass "the window's files" || fail "the window's files: $(manifest_of window 'm["files"]')"
printf 'For the review of the 1:1 grating.\n\nSecond paragraph \033[31mwith an escape.\n' >"$work/notes.txt"
out=$("$tool" report "$fs" --title "Grating at k1 0.47" --notes "$work/notes.txt" 2>&1)
check "focus series: report" 0 $?
[ "$out" = "$fs/report.pdf" ] && pass "report prints only the PDF's path" || fail "report printed: $out"
pdf=$fs/report.pdf
text=$(text_of "$pdf")
page1=$(page_of "$pdf" 1)
contains "the title heads the first page" "$page1" "Grating at k1 0.47"
contains "the notes are on the first page" "$page1" "For the review of the 1:1 grating."
contains "control characters of the notes are shown escaped" "$page1" 'Second paragraph \x1b[31mwith an escape.'
contains "the first page: no warnings" "$page1" "no warnings"
# Pupil radius R = NA x pitch x N / wavelength = 0.75 x 0.01 x 120 / 0.193 samples; sigma
# 0.5 shifts the outer source points by 0.5 R = 2.33 samples, rounded to 2: 2 / R.
sigma_eff=$(python3 -c 'print("%.6g" % (2 / (0.75 * 0.01 * 120 / 0.193)))')
contains "the first page: sigma and the effective sigma" "$page1" "0.5 written, effective $sigma_eff"
contains "the first page: the grid" "$page1" "120 x 120 samples of 0.01 um"
# The headline figures are the window's own (window.json, written by the same study).
wj=$fs/window/window.json
field() { python3 -c "import json, sys; j = json.load(open(sys.argv[1])); v = $2; print('%.6g' % v)" "$wj"; }
# Without aberrations the image is even in defocus: the best focus is 0.
[ "$(field "$wj" 'j["best_focus"]')" = 0 ] && pass "window: best focus 0" || fail "window: best focus $(field "$wj" 'j["best_focus"]')"
el=$(field "$wj" 'j["max_el"] * 100')
dof10=$(field "$wj" '[d["dof"] for d in j["dof_at_el"] if d["el"] == 0.1][0]')
contains "the first page: max EL from the window" "$page1" "max EL"
contains "the first page: the window's max EL" "$page1" "$(printf '%.2f %%' "$el")"
grep -Eq "window +DOF at EL 5 % / 10 % +[0-9.]+ / $dof10 um" <<<"$page1" &&
    pass "the first page: DOF at EL 10 % from the window ($dof10)" || fail "no DOF at EL 10 % of $dof10 in: $page1"
# The sweep: its points as a table, its header once a page, the rows in order.
contains "the sweep's table" "$text" "The points (results.csv)"
contains "... with the effective sigma" "$text" "effective sigma"
grep -Eq "^ *0\.5 +-0\.3 +$sigma_eff +0\.36 " <<<"$text" && pass "the sweep's first row" || fail "no row 0.5 -0.3 in: $text"
grep -Eq "^ *0\.8 +0\.3 +[0-9.]+ +0\.36 " <<<"$text" && pass "the sweep's last row" || fail "no row 0.8 0.3"
contains "the long table continues on the next page" "$text" "The points (results.csv) (continued)"
first_row_page=0 last_row_page=0
for k in $(seq 1 "$(pages_of "$pdf")"); do
    page=$(page_of "$pdf" "$k")
    grep -Eq "^ *0\.5 +-0\.3 " <<<"$page" && first_row_page=$k
    grep -Eq "^ *0\.8 +0\.3 " <<<"$page" && last_row_page=$k
done
[ "$last_row_page" -gt "$first_row_page" ] && pass "the rows run on from page $first_row_page to $last_row_page" ||
    fail "first row on page $first_row_page, last on $last_row_page"
# The window: its figures and its EL-DOF table, formatted, never the file as written.
for words in "best focus" "dose to size" "max EL" "DOF at EL 5 %" "DOF at EL 10 %" \
             "Exposure latitude against depth of focus" "Each focus, solved on its own image"; do
    contains "the window's page: $words" "$text" "$words"
done
grep -Eq "^ *DOF at EL 10 % +$dof10 um" <<<"$text" && pass "the window's DOF at EL 10 %" || fail "DOF at EL 10 %"
lacks "no raw JSON" "$text" '"best_focus"'
lacks "nothing cut off" "$text" "more lines"
contains "a study says how it was made" "$text" "aerial window $fs --defocus -0.3:0.3:0.05 --target-cd 0.1 --jobs 2 -q"
contains "the pictures are named" "$text" "fem_bossung.png"
[ "$(red_pixels "$pdf" 1)" = 0 ] && pass "nothing red on the first page of a report that stands" ||
    fail "red on the first page: $(page_of "$pdf" 1)"

# The input changed and not run again: the tables and both studies are older than it, in red.
"$tool" set "$fs" sigma=0.7 >/dev/null
"$tool" report "$fs" -q
check "report after set without a run" 0 $?
page1=$(page_of "$pdf" 1)
contains "the tables are older than the input" "$page1" "are older than $input_file"
contains "the sweep is older than the input" "$page1" "sweep/: older than ../$input_file"
contains "the window is older than the input" "$page1" "window/: older than ../$input_file"
[ "$(red_pixels "$pdf" 1)" -gt 0 ] && pass "... in red" || fail "no red on the first page"
[ "$(line_of "$page1" "older than")" -lt "$(line_of "$page1" "What was simulated")" ] &&
    pass "... before the conditions" || fail "the alerts come after the conditions"
# Another input put in place, older than the studies: made from another input.
cp "$example/$input_file" "$fs/$input_file"
touch -d '2001-01-01' "$fs/$input_file"
"$tool" report "$fs" -q
contains "a study made from another input" "$(page_of "$pdf" 1)" "sweep/: made from another input than ../$input_file"
# Its tables are of the other grid: the run cannot be measured, so its page is left out, saying why.
contains "tables of another grid leave the run's page out" "$(page_of "$pdf" 1)" "The run's page is left out"

# A cd sweep after a pitch sweep: the through-pitch tables and pictures are not in the report.
masks=$work/masks
"$tool" mask lines "$masks" --pitch 0.32 --cd 0.12 -q
"$tool" run "$masks" -q 2>/dev/null
"$tool" sweep "$masks" --vary mask.pitch=0.256,0.32 --jobs 2 -q >/dev/null 2>&1
"$tool" report "$masks" -q
text=$(text_of "$masks/report.pdf")
contains "a pitch sweep: CD and NILS through pitch" "$text" "CD and NILS through pitch"
contains "... and its pictures" "$text" "cd_through_pitch.png"
"$tool" sweep "$masks" --vary mask.cd=0.11,0.12,0.13 --clean --jobs 2 -q >/dev/null 2>&1
check "a cd sweep after it" 0 $?
"$tool" report "$masks" -q
text=$(text_of "$masks/report.pdf")
contains "the cd sweep: the mask error factor" "$text" "Mask error factor (meef.csv)"
lacks "no table of the earlier pitch sweep" "$text" "through pitch"
lacks "no picture of the earlier pitch sweep" "$text" "cd_through_pitch"

# A window drawn as SVG: the report names the pictures it cannot embed.
cp "$examples/focus-series/$input_file" "$fs/"
"$tool" run "$fs" -q 2>/dev/null
"$tool" window "$fs" --defocus -0.3:0.3:0.05 --target-cd 0.1 --jobs 2 -q --format svg >/dev/null 2>&1
out=$("$tool" report "$fs" -q 2>&1)
check "report of a window drawn as SVG" 0 $?
contains "report notes the SVG on stderr" "$out" "fem_bossung.svg"
text=$(text_of "$pdf")
contains "the page names the SVG" "$text" "fem_bossung.svg"
contains "the page says how to have it shown" "$text" "--format png"

# The first page leads with the warnings: a sigma written with a decimal comma reads as 0.
case_of comma sigma=0,5 >/dev/null
"$tool" run "$work/comma" -q 2>/dev/null
"$tool" report "$work/comma" -q
check "report on an input with a warning" 0 $?
page1=$(page_of "$work/comma/report.pdf" 1)
contains "the first page counts the warnings" "$page1" "1 warning from aerial check"
contains "the first page names the cell" "$page1" "'0,5'"
[ "$(line_of "$page1" "'0,5'")" -lt "$(line_of "$page1" "What was simulated")" ] &&
    pass "warnings come before the conditions" || fail "the warnings come after the conditions"
text=$(page_of "$work/comma/report.pdf" 2)
warnings_at=$(line_of "$text" "warnings")
table_at=$(line_of "$text" "line col")
[ "$warnings_at" -gt 0 ] && [ "$warnings_at" -lt "$table_at" ] &&
    pass "the run's page: warnings before the parameter table" || fail "warnings at '$warnings_at', table at '$table_at'"

case_of not-run >/dev/null
out=$("$tool" report "$work/not-run" 2>&1)
check "report before any run" 2 $?
contains "report says to run first" "$out" "aerial run"
out=$("$tool" report "$work/comma" --notes "$work/no-such-notes" 2>&1)
check "report: notes that cannot be read" 2 $?
contains "report names the notes file" "$out" "no-such-notes"
out=$("$tool" report "$work/comma" -o "$work/no/such/folder/r.pdf" 2>&1)
check "report: unwritable output" 2 $?

case=$work/dense-lines
out=$("$tool" plot "$case" --threshold 0.2 --threshold 0.3 --axis y --at 0.1 --format svg 2>&1)
check "plot --format svg on a moved cut" 0 $?
for p in OUT_M OUT_MR OUT_MI OUT_M_cut OUT_source; do
    grep -q "<svg" "$case/$p.svg" && pass "$p.svg is SVG" || fail "$p.svg"
done
contains "plot lists what it wrote" "$out" "OUT_source.svg"
"$tool" plot "$case" --format pdf -q --linear --full --no-mask
check "plot --format pdf" 0 $?
[ "$(pages_of "$case/OUT_M.pdf")" = 1 ] && pass "OUT_M.pdf opens" || fail "OUT_M.pdf"
# The cutline writes the CD of the feature that metrics measures at the same place.
cd_of=$("$tool" metrics "$case" --threshold 0.2 --feature-at 0.24 --json |
        python3 -c 'import json, sys; print("%.4g" % json.load(sys.stdin)["feature"]["cd"])')
"$tool" plot "$case" --threshold 0.2 --feature-at 0.24 --format pdf -q
contains "the cutline's CD is the CD metrics gives ($cd_of)" "$(pdftotext "$case/OUT_M_cut.pdf" - 2>/dev/null)" "space $cd_of"
"$tool" plot "$case" --feature-at 9 -q >/dev/null 2>&1
check "plot: a feature position off the cut" 2 $?
"$tool" plot "$case" --format gif -q >/dev/null 2>&1
check "plot: unknown format" 2 $?
"$tool" plot "$case" --at 5 -q >/dev/null 2>&1
check "plot: a cut off the grid" 2 $?

# Only the commands that draw load cairo (through the picture module).
loads=$(LD_DEBUG=libs "$tool" run "$case" -q 2>&1 | grep -c 'calling init: .*libcairo')
[ "$loads" = 0 ] && pass "run does not load cairo" || fail "run loads cairo"
loads=$(LD_DEBUG=libs "$tool" plot "$case" -q 2>&1 | grep -c 'calling init: .*libcairo')
[ "$loads" != 0 ] && pass "plot loads cairo" || fail "plot does not load cairo"

finish
