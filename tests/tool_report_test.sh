#!/bin/bash
# plot and report on every bundled example, as users run them: the pictures in each format,
# the report's pages (one for the run, one for each study folder holding pictures) and
# that the PDF opens.
set -u
tool=$1
examples=$2
example=$examples/two-rectangles
. "$(dirname "$0")/shell_checks.sh"
command -v pdfinfo >/dev/null || { echo "FAIL: pdfinfo missing (scripts/install-deps.sh installs poppler-utils)"; exit 1; }

pages_of() { pdfinfo "$1" 2>/dev/null | sed -n 's/^Pages: *//p'; }

for input in "$examples"/*/"$input_file" "$examples"/python/*/"$input_file"; do
    source=$(dirname "$input")
    name=${source#"$examples"/}
    name=${name//\//-}
    case=$work/$name
    cp -r "$source" "$case"
    for t in $tables; do rm -f "$case/$t"; done
    rm -f "$case/report.pdf"
    "$tool" run "$case" -q 2>/dev/null
    check "$name: run" 0 $?
    "$tool" report "$case" --threshold 0.25 -q
    check "$name: report" 0 $?
    # One page for the run; a study folder (sweep, window, ...) adds a page per four pictures.
    expected=1
    for study in "$case"/*/; do
        [ -d "$study" ] || continue
        n=$(find "$study" -maxdepth 1 -name '*.png' | wc -l)
        expected=$((expected + (n + 3) / 4))
    done
    pages=$(pages_of "$case/report.pdf")
    [ "$pages" = "$expected" ] && pass "$name: report opens, $pages page(s)" ||
        fail "$name: report has '${pages}' pages, expected $expected"
done
# The focus series holds a sweep and a window: a page each, the window's at its threshold.
fs=$work/focus-series
[ "$(pages_of "$fs/report.pdf")" = 3 ] && pass "focus-series: a page for its sweep and one for its window" ||
    fail "focus-series: $(pages_of "$fs/report.pdf") pages"
printf '{"t0": 0.27, "best_focus": 0.0125, "windows": []}\n' >"$fs/window/window.json"
"$tool" report "$fs" -q
text=$(pdftotext -layout "$fs/report.pdf" - 2>/dev/null)
contains "the sweep's page" "$text" "focus-series: sweep"
contains "the window's page" "$text" "focus-series: window"
contains "the window's summary" "$text" '"best_focus": 0.0125'
contains "the run's page at the window's threshold" "$text" "threshold 0.27"
# A window drawn as SVG only keeps its page, which names the pictures it cannot embed.
rm "$fs/window/"*.png
printf '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"/>\n' >"$fs/window/fem_bossung.svg"
out=$("$tool" report "$fs" -q 2>&1)
check "report of a window drawn as SVG" 0 $?
contains "report notes the SVG on stderr" "$out" "fem_bossung.svg not in the report"
[ "$(pages_of "$fs/report.pdf")" = 3 ] && pass "the window keeps its page" || fail "$(pages_of "$fs/report.pdf") pages"
text=$(pdftotext -layout "$fs/report.pdf" - 2>/dev/null)
contains "the page names the SVG" "$text" "fem_bossung.svg"
contains "the page says how to have it shown" "$text" "--format png"

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

# The input summary leads with the warnings: a sigma written with a decimal comma reads as 0.
case_of comma sigma=0,5 >/dev/null
"$tool" run "$work/comma" -q 2>/dev/null
"$tool" report "$work/comma" -q
check "report on an input with a warning" 0 $?
text=$(pdftotext -layout "$work/comma/report.pdf" - 2>/dev/null)
contains "the summary names the cell" "$text" "'0,5'"
warnings_at=$(printf '%s\n' "$text" | grep -n -m1 '^ *warnings' | cut -d: -f1)
table_at=$(printf '%s\n' "$text" | grep -n -m1 'line col' | cut -d: -f1)
[ -n "$warnings_at" ] && [ -n "$table_at" ] && [ "$warnings_at" -lt "$table_at" ] &&
    pass "warnings come before the parameter table" || fail "warnings at '$warnings_at', table at '$table_at'"

case_of not-run >/dev/null
out=$("$tool" report "$work/not-run" 2>&1)
check "report before any run" 2 $?
contains "report says to run first" "$out" "aerial run"
out=$("$tool" report "$case" -o "$work/no/such/folder/r.pdf" 2>&1)
check "report: unwritable output" 2 $?

finish
