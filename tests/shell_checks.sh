# Shared by the tool's shell tests: a scratch folder, a failure count and its checks.
# Source it after setting tool and example; end the test with `finish`.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

pass() { echo "ok: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
check() { [ "$2" = "$3" ] && echo "ok: $1" || fail "$1: exit status $3, expected $2"; }
contains() { case "$2" in *"$3"*) echo "ok: $1" ;; *) fail "$1: output lacks '$3' in: $2" ;; esac; }
finish() { [ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }; }
