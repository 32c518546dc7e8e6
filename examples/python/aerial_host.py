#!/usr/bin/env python3
"""A Python host of the aerial library: loads it with ctypes, runs main4 in a folder and
reads the image table "OUT_M.xls" back as rows of floats. Standard library only.

    python3 aerial_host.py [--library PATH] [FOLDER]

FOLDER (default: the current folder) holds "IN_FM.txt" and receives the three tables.
Without --library the library is looked up the way the system's loader finds it
(LD_LIBRARY_PATH, the ldconfig cache; PATH and the script's folder on Windows).

As a module:

    lib = load_library("/usr/local/lib/libaerial.so.1")
    run_main4(lib, "examples/python/contact-holes")
    table = read_table("examples/python/contact-holes/OUT_M.xls")
    table.rows[y][x]        # intensity at x = table.x[x], y = table.y[y]

(numpy.array(table.rows) makes an array of it where numpy is installed; it is not needed.)
"""
import argparse
import contextlib
import ctypes
import ctypes.util
import os
import sys
from typing import List, NamedTuple


class Table(NamedTuple):
    title: str  # decoded from CP932, the tables' code page
    x: List[float]  # column labels, one per X sample
    y: List[float]  # row labels, one per Y sample
    rows: List[List[float]]  # rows[y][x]


def load_library(path=None):
    """Loads the library and declares main4 as void main4(void)."""
    if path is None:
        if os.name == "nt":
            path = "aerial.dll"
        else:
            path = ctypes.util.find_library("aerial") or "libaerial.so.1"
    library = ctypes.CDLL(path)
    library.main4.argtypes = []
    library.main4.restype = None
    return library


@contextlib.contextmanager
def working_directory(folder):
    previous = os.getcwd()
    os.chdir(folder)
    try:
        yield
    finally:
        os.chdir(previous)


def run_main4(library, folder):
    """main4 reads and writes in the current working directory: set it, call, restore it."""
    with working_directory(folder):
        library.main4()


def read_table(path):
    """Reads one result table: a title line, a row of X labels after an empty corner cell,
    then one row per Y value beginning with its label. Cells end in TAB, lines in CR LF."""
    with open(path, "rb") as f:
        lines = f.read().split(b"\r\n")
    x = [float(cell) for cell in lines[1].split(b"\t")[1:-1]]
    y, rows = [], []
    for line in lines[2:2 + len(x)]:
        cells = line.split(b"\t")[:-1]
        y.append(float(cells[0]))
        rows.append([float(cell) for cell in cells[1:]])
    return Table(lines[0].decode("cp932"), x, y, rows)


def main(argv=None):
    parser = argparse.ArgumentParser(description="Run main4 in FOLDER and summarise OUT_M.xls")
    parser.add_argument("folder", nargs="?", default=".", metavar="FOLDER")
    parser.add_argument("--library", help="the shared library to load")
    args = parser.parse_args(argv)

    if not os.path.isfile(os.path.join(args.folder, "IN_FM.txt")):
        print(f"aerial_host: {args.folder}: no IN_FM.txt", file=sys.stderr)
        return 2
    try:
        library = load_library(args.library)
    except OSError as error:
        print(f"aerial_host: cannot load the library: {error}", file=sys.stderr)
        return 2
    run_main4(library, args.folder)

    table = read_table(os.path.join(args.folder, "OUT_M.xls"))
    values = [v for row in table.rows for v in row]
    if not values:
        print(f"OUT_M.xls: empty grid in {args.folder}")
        return 0
    c = len(table.x) // 2
    print(f"OUT_M.xls: {len(table.x)} x {len(table.y)} intensities, "
          f"min {min(values):.6f}, max {max(values):.6f}, centre {table.rows[c][c]:.6f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
