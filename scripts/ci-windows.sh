#!/usr/bin/env bash
# The Windows build as Windows hosts get it: aerial.dll cross-built with MinGW-w64, linked
# statically so it needs only system DLLs, exporting exactly main4, for 64-bit Windows and
# (compiled and checked, not run: there is no 32-bit wine here) for 32-bit Windows. Under
# wine a host that uses LoadLibrary and GetProcAddress runs the 64-bit DLL on every bundled
# example and the inputs under tests/fixtures/windows (a dense grating, every aberration
# term, pupils below one sample and beyond the grid), and its tables are compared with the
# Linux build's (scripts/compare_tables.py): the same layout bytes, numbers within 1e-6,
# phases modulo 2 pi and only where the amplitude prints non-zero.
# Usage: scripts/ci-windows.sh [LINUX_BUILD_DIR]   (default: build, as `make build` leaves it)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
linux_build=${1:-build}
mingw_build=build-mingw
mingw32_build=build-mingw32

scripts/install-deps.sh g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32 wine64 wine

step() { echo "== $* ($SECONDS s)"; }

# DLL or EXE, objdump: fails unless a DLL exports exactly main4 and either needs only the
# system DLLs.
check_tables() {
    local file=$1 objdump=$2 headers exports imports name
    headers=$("$objdump" -p "$file")
    if [[ $file == *.dll ]]; then
        exports=$(awk '/^\[Ordinal\/Name Pointer\] Table/ {on = 1; next} on && NF == 0 {exit} on {print $NF}' \
            <<<"$headers")
        if [ "$exports" != main4 ]; then
            echo "FAIL: $file exports '$exports', not exactly main4"
            exit 1
        fi
        echo "ok: $file exports exactly main4"
    fi
    imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u | tr '\n' ' ')
    for name in $imports; do
        case "${name,,}" in
        kernel32.dll | msvcrt.dll) ;;
        *) echo "FAIL: $file needs $name, not a system DLL"; exit 1 ;;
        esac
    done
    echo "ok: $file needs only $imports"
}

step "cross-build aerial.dll (64-bit)"
cmake --no-warn-unused-cli -S . -B "$mingw_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF -DAERIAL_WERROR=ON >/dev/null
cmake --build "$mingw_build" -j2 --target aerial
dll=$source_dir/$mingw_build/bin/aerial.dll
host=$source_dir/$mingw_build/main4_host.exe
x86_64-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -static -o "$host" examples/windows-host/main4_host.c
check_tables "$mingw_build/bin/aerial.dll" x86_64-w64-mingw32-objdump
check_tables "$mingw_build/main4_host.exe" x86_64-w64-mingw32-objdump

step "cross-build aerial.dll (32-bit, compiled only)"
cmake --no-warn-unused-cli -S . -B "$mingw32_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake \
    -DCMAKE_BUILD_TYPE=Release -DAERIAL_BUILD_TESTS=OFF -DAERIAL_BUILD_TOOL=OFF -DAERIAL_WERROR=ON >/dev/null
cmake --build "$mingw32_build" -j2 --target aerial
i686-w64-mingw32-gcc -O2 -Wall -Wextra -Werror -static -o "$mingw32_build/main4_host.exe" \
    examples/windows-host/main4_host.c
check_tables "$mingw32_build/bin/aerial.dll" i686-w64-mingw32-objdump
check_tables "$mingw32_build/main4_host.exe" i686-w64-mingw32-objdump
# The library's own code does its arithmetic in SSE2 registers: no x87 arithmetic (the
# x87 still carries a double returned from a function, as the 32-bit calling convention
# wants). The C runtime linked into the DLL is not the library's code and may use it.
x87=$(find "$mingw32_build" -path '*aerial_objects.dir*' -name '*.obj' -exec i686-w64-mingw32-objdump -d {} + |
    grep -cE $'\tf(add|sub|subr|mul|div|divr|sqrt|sin|cos|patan|prem|rndint|scale)p?\b' || true)
if [ "$x87" -ne 0 ]; then
    echo "FAIL: the 32-bit library objects hold $x87 x87 arithmetic instructions"
    exit 1
fi
echo "ok: no x87 arithmetic in the 32-bit library objects"
# Without SSE2 arithmetic the intermediates would be extended precision: the build refuses.
if echo '#include "state/simulation_state.h"' |
    i686-w64-mingw32-g++ -std=c++20 -mfpmath=387 -Isrc -Iinclude -x c++ -fsyntax-only - 2>"$mingw32_build/x87.log"; then
    echo "FAIL: a 32-bit build with x87 arithmetic compiles"
    exit 1
fi
grep -q "FLT_EVAL_METHOD" "$mingw32_build/x87.log" || { cat "$mingw32_build/x87.log"; exit 1; }
echo "ok: a 32-bit build with x87 arithmetic stops at the FLT_EVAL_METHOD guard"

step "Linux runs"
tool=$linux_build/bin/aerial
if [ ! -x "$tool" ]; then
    cmake -S . -B "$linux_build" >/dev/null
    cmake --build "$linux_build" -j2 --target aerial_tool
fi
work=$(mktemp -d)
export WINEPREFIX=$work/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Every bundled example and every input under tests/fixtures/windows, and the contact-hole
# input with CR LF line ends and a 0x1A byte in its first line: a reader in text mode would
# stop there on Windows and see no grid at all.
cases=()
add_case() { # name, input file; a name met twice fails here
    mkdir -p "$work/cases"
    mkdir "$work/cases/$1"
    cp "$2" "$work/cases/$1/IN_FM.txt"
    cases+=("$1")
}
for input in examples/*/IN_FM.txt; do add_case "$(basename "$(dirname "$input")")" "$input"; done
add_case python-contact-holes examples/python/contact-holes/IN_FM.txt
for input in tests/fixtures/windows/*/IN_FM.txt; do add_case "$(basename "$(dirname "$input")")" "$input"; done
mkdir -p "$work/cases/crlf-ctrl-z"
sed -e '1s/^/title \x1a /' -e 's/$/\r/' examples/python/contact-holes/IN_FM.txt >"$work/cases/crlf-ctrl-z/IN_FM.txt"
head -c 8 "$work/cases/crlf-ctrl-z/IN_FM.txt" | od -c | grep -q '032' || { echo "FAIL: no 0x1A in the case"; exit 1; }
cases+=(crlf-ctrl-z)
echo "${#cases[@]} cases: ${cases[*]}"
for name in "${cases[@]}"; do
    for side in linux windows; do
        mkdir "$work/$side-$name"
        cp "$work/cases/$name/IN_FM.txt" "$work/$side-$name/"
    done
    "$tool" run -q "$work/linux-$name"
done
for table in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
    cmp "$work/linux-python-contact-holes/$table" "$work/linux-crlf-ctrl-z/$table"
done
echo "ok: CR LF and 0x1A leave the Linux tables as they were"

step "wine runs"
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
for name in "${cases[@]}"; do
    start=$SECONDS
    if ! wine "$host" "$(windows_path "$dll")" "$(windows_path "$work/windows-$name")" \
        >"$work/wine.log" 2>&1; then
        cat "$work/wine.log"
        echo "FAIL: main4_host.exe on $name"
        exit 1
    fi
    echo "ok: wine main4_host.exe aerial.dll on $name ($((SECONDS - start)) s)"
done

step "compare"
pairs=()
for name in "${cases[@]}"; do pairs+=("$work/linux-$name" "$work/windows-$name"); done
python3 scripts/compare_tables.py "${pairs[@]}"
identical=0
for name in "${cases[@]}"; do
    for table in OUT_MR.xls OUT_MI.xls OUT_M.xls; do
        cmp -s "$work/linux-$name/$table" "$work/windows-$name/$table" && identical=$((identical + 1))
    done
done
echo "byte-identical tables: $identical of $((3 * ${#cases[@]}))"
