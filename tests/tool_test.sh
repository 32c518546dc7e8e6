#!/bin/bash
# The aerial tool as users run it: exit codes, messages and the tables it leaves.
set -u
tool=$1
example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() { # description, expected status, actual status
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: exit status $3, expected $2"
        failures=$((failures + 1))
    else
        echo "ok: $1"
    fi
}

contains() { # description, haystack, needle
    case "$2" in
    *"$3"*) echo "ok: $1" ;;
    *) echo "FAIL: $1: '$2' lacks '$3'"; failures=$((failures + 1)) ;;
    esac
}

"$tool" --help >"$work/help" 2>&1
check "--help" 0 $?
contains "--help names run" "$(cat "$work/help")" "run"
version=$("$tool" --version 2>&1)
check "--version" 0 $?
contains "--version" "$version" "aerial"
"$tool" >/dev/null 2>&1
check "no subcommand is a usage error" 2 $?
"$tool" run --bogus >/dev/null 2>&1
check "unknown option is a usage error" 2 $?

# A small copy of the example keeps the test quick.
mkdir "$work/run"
sed 's/^\(grid size\t[^\t]*\t\)128/\132/' "$example/IN_FM.txt" >"$work/run/IN_FM.txt"
out=$("$tool" run "$work/run" 2>&1)
check "run" 0 $?
contains "summary names the grid" "$out" "grid 32 x 32, 2 rectangles"
contains "summary names the folder" "$out" "$work/run"
for t in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
    [ -s "$work/run/$t" ] && echo "ok: $t written" || { echo "FAIL: $t missing"; failures=$((failures + 1)); }
done

(cd "$work/run" && "$tool" run -q >"$work/quiet" 2>&1)
check "run in the current folder" 0 $?
[ ! -s "$work/quiet" ] && echo "ok: --quiet prints nothing" || { echo "FAIL: --quiet printed"; failures=$((failures + 1)); }

err=$("$tool" run "$work/absent" 2>&1)
check "missing folder" 2 $?
contains "missing folder names it" "$err" "$work/absent"

mkdir "$work/empty"
err=$("$tool" run "$work/empty" 2>&1)
check "missing input" 2 $?
contains "missing input names it" "$err" "$work/empty/IN_FM.txt"
[ -z "$(ls "$work/empty")" ] && echo "ok: nothing written" || { echo "FAIL: wrote into empty"; failures=$((failures + 1)); }

err=$("$tool" run "$work/run" --library "$work/none.so" 2>&1)
check "unloadable library" 2 $?
contains "unloadable library names it" "$err" "$work/none.so"

err=$("$tool" run "$work/run" --library /lib/x86_64-linux-gnu/libm.so.6 2>&1)
check "library without main4" 2 $?
contains "missing symbol named" "$err" "main4"

rm "$work/run/OUT_M.xls" && mkdir "$work/run/OUT_M.xls"
err=$("$tool" run "$work/run" 2>&1)
check "unwritable table" 1 $?
contains "unwritable table named" "$err" "OUT_M.xls"

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
