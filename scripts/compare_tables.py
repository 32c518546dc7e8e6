#!/usr/bin/env python3
"""Compares the result tables of two runs of the same input, cell by cell.

    compare_tables.py [--tolerance T] FOLDER_A FOLDER_B [FOLDER_A FOLDER_B ...]

The layout must match byte for byte: the title, every TAB, every CR LF, the line count and
which cells are empty. Numbers may differ by at most T (default 1e-6, one unit of the last
printed decimal), because two C runtimes' sine, cosine and arctangent need not agree in the
last bits. Differences are taken on the decimal text, so a rounding flip in the sixth
decimal counts as exactly 1e-6.

Phases (the data cells of OUT_MI.xls) are angles: they are compared modulo 2 pi, so +pi
against -pi (a spectrum value on the negative real axis whose imaginary part is a tiny
number of either sign) agree. Where the amplitude (the same cell of OUT_MR.xls) prints as
zero in either run, the phase is the angle of rounding noise and is not compared; such
cells are counted. Every other cell, the axis cells of OUT_MI.xls included, is compared
as a plain number.

Prints per table the cells compared, the largest difference and where it is; per kind of
table the largest difference over all runs; exit status 1 when a layout differs or a
difference exceeds T; the last line counts the tables.
"""
import argparse
import decimal
import os
import sys

AMPLITUDE, PHASE, INTENSITY = "OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls"
TABLES = (AMPLITUDE, PHASE, INTENSITY)
TWO_PI = decimal.Decimal("6.28318530717958647692528676655900576839433879875021")


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


def read_table(path):
    """The title line and the cells of every further line, split at TABs."""
    with open(path, "rb") as f:
        lines = split_lines(f.read(), path)
    return lines[0], [line.split(b"\t") for line in lines[1:]]


def same_layout(table_a, table_b, name_a, name_b, compare_titles=True):
    (title_a, rows_a), (title_b, rows_b) = table_a, table_b
    if len(rows_a) != len(rows_b):
        raise LayoutError(f"{name_a}: {len(rows_a) + 1} lines, {name_b}: {len(rows_b) + 1}")
    if compare_titles and title_a != title_b:
        raise LayoutError(f"{name_b}: title bytes differ")
    for number, (fields_a, fields_b) in enumerate(zip(rows_a, rows_b), 2):
        if len(fields_a) != len(fields_b):
            raise LayoutError(f"{name_b}: line {number} has {len(fields_b) - 1} TABs, "
                              f"{name_a} {len(fields_a) - 1}")
        for column, (a, b) in enumerate(zip(fields_a, fields_b)):
            if (a == b"") != (b == b""):
                raise LayoutError(f"{name_b}: line {number} cell {column}: empty in one table only")


def cell_value(text):
    try:
        return decimal.Decimal(text.decode("ascii"))
    except (UnicodeDecodeError, decimal.InvalidOperation):
        return None


def difference(a, b, periodic=False):
    """Absolute difference of two cells (modulo 2 pi when periodic); None when their texts
    cannot be compared."""
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
    d = abs(x - y)
    if periodic:
        d = d % TWO_PI
        d = min(d, TWO_PI - d)
    return d


def prints_zero(text):
    value = cell_value(text)
    return value is not None and value.is_finite() and value == 0


class Result:
    def __init__(self):
        self.largest = (decimal.Decimal(0), 0, 0)
        self.compared = 0
        self.skipped = 0      # phase cells whose amplitude prints zero
        self.wrapped = 0      # phase cells that agree only modulo 2 pi


def compare_cells(table_a, table_b, name_b, amplitudes=None):
    """Compares two tables of one layout. With amplitudes (the OUT_MR.xls tables of both
    runs) the data cells are phases."""
    result = Result()
    for row, (fields_a, fields_b) in enumerate(zip(table_a[1], table_b[1])):
        number = row + 2
        for column, (a, b) in enumerate(zip(fields_a, fields_b)):
            if a == b"":
                continue
            phase = amplitudes is not None and row >= 1 and column >= 1
            if phase and any(prints_zero(t[1][row][column]) for t in amplitudes):
                result.skipped += 1
                continue
            result.compared += 1
            d = difference(a, b, periodic=phase)
            if d is None:
                raise LayoutError(f"{name_b}: line {number} cell {column}: "
                                  f"{a.decode(errors='replace')!r} against {b.decode(errors='replace')!r}")
            if phase and d != difference(a, b):
                result.wrapped += 1
            if d > result.largest[0]:
                result.largest = (d, number, column)
    return result


def compare_pair(folder_a, folder_b):
    """Yields (table name, path of B, Result or LayoutError) for the three tables."""
    tables = {}
    for name in TABLES:
        path_a, path_b = os.path.join(folder_a, name), os.path.join(folder_b, name)
        try:
            tables[name] = (read_table(path_a), read_table(path_b))
            same_layout(*tables[name], path_a, path_b)
        except (LayoutError, OSError) as error:
            tables[name] = error
    for name in TABLES:
        path_b = os.path.join(folder_b, name)
        entry = tables[name]
        if isinstance(entry, Exception):
            yield name, path_b, entry
            continue
        amplitudes = None
        if name == PHASE:
            if isinstance(tables[AMPLITUDE], Exception):
                yield name, path_b, LayoutError(f"{path_b}: no amplitude table to compare phases by")
                continue
            try:
                # The amplitude of each phase cell sits in the same cell of OUT_MR.xls.
                same_layout(tables[AMPLITUDE][0], entry[0], os.path.join(folder_a, AMPLITUDE),
                            os.path.join(folder_a, PHASE), compare_titles=False)
            except LayoutError as error:
                yield name, path_b, error
                continue
            amplitudes = tables[AMPLITUDE]
        try:
            yield name, path_b, compare_cells(*entry, path_b, amplitudes)
        except LayoutError as error:
            yield name, path_b, error


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tolerance", type=decimal.Decimal, default=decimal.Decimal("1e-6"))
    parser.add_argument("folders", nargs="+", help="pairs of run folders")
    args = parser.parse_args()
    if len(args.folders) % 2:
        parser.error("folders come in pairs")

    overall = {name: decimal.Decimal(0) for name in TABLES}
    wrapped = skipped = 0
    passed = failed = 0
    for folder_a, folder_b in zip(args.folders[0::2], args.folders[1::2]):
        for name, path_b, result in compare_pair(folder_a, folder_b):
            if isinstance(result, Exception):
                print(f"FAIL layout: {result}")
                failed += 1
                continue
            d, line, column = result.largest
            good = d <= args.tolerance
            passed, failed = passed + good, failed + (not good)
            where = f" (line {line}, cell {column})" if d else ""
            extra = ""
            if name == PHASE:
                extra = (f"; modulo 2 pi, {result.wrapped} agreeing only so; "
                         f"{result.skipped} not compared (amplitude prints 0)")
            print(f"{'ok' if good else 'FAIL'}: {path_b}: {result.compared} cells, "
                  f"largest difference {float(d):.1e}{where}{extra}")
            overall[name] = max(overall[name], d)
            wrapped += result.wrapped
            skipped += result.skipped
    for name in TABLES:
        print(f"largest difference in {name}: {float(overall[name]):.1e}")
    print(f"phase cells agreeing only modulo 2 pi: {wrapped}; not compared: {skipped} "
          f"(tolerance {float(args.tolerance):.1e})")
    print(f"tables: {passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
