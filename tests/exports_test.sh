#!/bin/sh
# The shared library exports main4 and nothing else, runs no code when loaded, and needs
# nothing of the C++ runtime (a host written in C need not load it).
set -eu
nm=$1
lib=$2
exported=$("$nm" -D --defined-only "$lib" | awk '{print $NF}' | sort)
if [ "$exported" != "main4" ]; then
    echo "exported symbols differ from main4 alone:"
    echo "$exported"
    exit 1
fi
if "$nm" "$lib" | grep -q -e '_GLOBAL__sub_I' -e '__cpu_indicator_init'; then
    echo "the library has a load-time constructor:"
    "$nm" "$lib" | grep -e '_GLOBAL__sub_I' -e '__cpu_indicator_init'
    exit 1
fi
if "$nm" -D --undefined-only "$lib" | grep -q -e '@GLIBCXX' -e '@CXXABI'; then
    echo "the library needs the C++ runtime for:"
    "$nm" -D --undefined-only "$lib" | grep -e '@GLIBCXX' -e '@CXXABI'
    exit 1
fi
echo "ok: only main4 exported, no load-time constructor, no C++ runtime"
