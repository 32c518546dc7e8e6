#!/usr/bin/env python3
"""Compares the result tables of two runs of the same input, cell by cell.

    compare_tables.py [--tolerance T] FOLDER_A FOLDER_B [FOLDER_A FOLDER_B ...]

The layout must match byte for byte: the title, every TAB, every CR LF, the line count and
which cells are empty. Numbers may differ by at most T (default 1e-6, one unit of the last
printed decimal), because two C runtimes' sine, cosine and arctangent need not agree in the
last bits. Differences are taken on the decimal text, so a rounding flip in the sixth
decimal counts as exactly 1e-6. Prints the largest difference per table and overall; exit
status 1 when a layout differs or a difference exceeds T; the last line counts the tables.
"""
import argparse
import decimal
import os
import sys

TABLES = ("OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls")


class LayoutError(Exception):
    pass


def split_lines(data, name):
    if not data.endswith(b"\r\n"):
        raise LayoutError(f"{name}: does not end in CR LF")
    lines = data[:-2].split(b"\r\n")
    for number, line in enumerate(lines, 1):
        if b"\r" in line or b"\n" in line:
            raise LayoutError(f"{name}: line {number} holds a lone CR or LF")
    return lines


def cell_value(text):
    try:
        return decimal.Decimal(text.decode("ascii"))
    except (UnicodeDecodeError, decimal.InvalidOperation):
        return None


def difference(a, b):
    """Absolute difference of two cells; None when their texts cannot be compared."""
    if a == b:
        return decimal.Decimal(0)
    x, y = cell_value(a), cell_value(b)
    if x is None or y is None:
        return None
    if x.is_nan() or y.is_nan():
        # Both not-a-number (whatever their signs) agree; one alone does not.
        return decimal.Decimal(0) if x.is_nan() and y.is_nan() else None
    if x.is_infinite() or y.is_infinite():
        return decimal.Decimal(0) if x == y else None
    return abs(x - y)


def compare_table(path_a, path_b):
    """Returns (largest difference, its line, its column, cell count)."""
    with open(path_a, "rb") as f:
        data_a = f.read()
    with open(path_b, "rb") as f:
        data_b = f.read()
    lines_a = split_lines(data_a, path_a)
    lines_b = split_lines(data_b, path_b)
    if len(lines_a) != len(lines_b):
        raise LayoutError(f"{path_a}: {len(lines_a)} lines, {path_b}: {len(lines_b)}")
    if lines_a[0] != lines_b[0]:
        raise LayoutError(f"{path_b}: title bytes differ")
    largest = (decimal.Decimal(0), 0, 0)
    cells = 0
    for number, (line_a, line_b) in enumerate(zip(lines_a[1:], lines_b[1:]), 2):
        fields_a = line_a.split(b"\t")
        fields_b = line_b.split(b"\t")
        if len(fields_a) != len(fields_b):
            raise LayoutError(f"{path_b}: line {number} has {len(fields_b) - 1} TABs, "
                              f"expected {len(fields_a) - 1}")
        for column, (a, b) in enumerate(zip(fields_a, fields_b)):
            if (a == b"") != (b == b""):
                raise LayoutError(f"{path_b}: line {number} cell {column}: empty in one table only")
            if a == b"":
                continue
            cells += 1
            d = difference(a, b)
            if d is None:
                raise LayoutError(f"{path_b}: line {number} cell {column}: "
                                  f"{a.decode(errors='replace')!r} against {b.decode(errors='replace')!r}")
            if d > largest[0]:
                largest = (d, number, column)
    return largest + (cells,)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tolerance", type=decimal.Decimal, default=decimal.Decimal("1e-6"))
    parser.add_argument("folders", nargs="+", help="pairs of run folders")
    args = parser.parse_args()
    if len(args.folders) % 2:
        parser.error("folders come in pairs")

    overall = decimal.Decimal(0)
    passed = failed = 0
    pairs = zip(args.folders[0::2], args.folders[1::2])
    for folder_a, folder_b in pairs:
        for table in TABLES:
            path_a = os.path.join(folder_a, table)
            path_b = os.path.join(folder_b, table)
            try:
                d, line, column, cells = compare_table(path_a, path_b)
            except (LayoutError, OSError) as error:
                print(f"FAIL layout: {error}")
                failed += 1
                continue
            verdict = "ok" if d <= args.tolerance else "FAIL"
            if d <= args.tolerance:
                passed += 1
            else:
                failed += 1
            where = f" (line {line}, cell {column})" if d else ""
            print(f"{verdict}: {path_b}: {cells} cells, largest difference {float(d):.1e}{where}")
            overall = max(overall, d)
    print(f"largest difference over all tables: {float(overall):.1e} (tolerance {float(args.tolerance):.1e})")
    print(f"tables: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
