#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those that are absent.
# Usage: scripts/install-deps.sh [--reliability] [extra-package ...]
set -euo pipefail

# --reliability: also what scripts/ci-reliability.sh needs (fuzzing, sanitizers, memcheck).
if [ "${1:-}" = "--reliability" ]; then shift; set -- clang libclang-rt-14-dev valgrind "$@"; fi

packages=(cmake g++ make libgtest-dev libbenchmark-dev libcli11-dev locales "$@")
# The host examples and their tests: a C host built with pkg-config, a Python host.
packages+=(pkg-config python3)
# The aerial tool: pictures (cairo, drawn with DejaVu fonts) and JSON reports.
packages+=(libcairo2-dev fonts-dejavu-core nlohmann-json3-dev)
# The report test opens the PDF it writes.
packages+=(poppler-utils)
# Studies run through GNU parallel in the tests (aerial sweep --print-commands | parallel).
packages+=(parallel)
# Layout import: Boost's polygon library (header-only); the import tests write their GDSII
# files with gdspy.
packages+=(libboost-dev python3-gdspy)
# The Python module (import aerial): pybind11, numpy, the pytest suite, the plotting
# example, and a pip install into a virtual environment in the tests.
packages+=(python3-dev pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-matplotlib
  python3-venv python3-setuptools python3-wheel)
# SHA-256 with nettle: of the input in a study's manifest, and of the pinned bytes in their
# test; the independent model of a run computes with numpy (above).
packages+=(nettle-dev)
# Stitched tiles are written as float TIFF; the Slurm test starts a one-node cluster.
packages+=(libtiff-dev slurm-wlm munge)
# The tiling tests read the pictures they check with Pillow.
packages+=(python3-pil)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
