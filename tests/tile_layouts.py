#!/usr/bin/python3
"""GDSII layouts for the tiling tests and benchmark, written with gdspy (units: um, 1 nm grid).

  tile_layouts.py block OUT.gds    20 x 20 um: lines (one pinched), contacts, L-shaped routing
  tile_layouts.py grating OUT.gds  a field-filling grating of lines along Y (0.09 um at 0.32 um)
  tile_layouts.py pinch OUT.gds    three lines, the middle one narrowed over a stretch
  tile_layouts.py dense OUT.gds    3600 small squares: more rectangles than a tile holds

Every shape is on layer 1/0 of cell TOP. The pinch of `block` and `pinch` is a line of
width LINE narrowed to NECK over NECK_LENGTH, centred on PINCH (printed by --describe).
"""
import json
import sys

import gdspy

LINE = 0.15
NECK = 0.05
NECK_LENGTH = 0.4
GRATING_PITCH = 0.32
GRATING_LINE = 0.09


def rect(cell, x0, y0, x1, y1):
    cell.add(gdspy.Rectangle((x0, y0), (x1, y1), layer=1, datatype=0))


def pinched_line(cell, xc, y0, y1, yc):
    """A line along Y centred on xc, narrowed around yc."""
    h = LINE / 2
    n = NECK / 2
    a, b = yc - NECK_LENGTH / 2, yc + NECK_LENGTH / 2
    cell.add(gdspy.Polygon([(xc - h, y0), (xc + h, y0), (xc + h, a), (xc + n, a), (xc + n, b), (xc + h, b),
                            (xc + h, y1), (xc - h, y1), (xc - h, b), (xc - n, b), (xc - n, a), (xc - h, a)],
                           layer=1, datatype=0))


def block(cell):
    # Lines along Y on the left half, pitch 0.4; the line at x = 5.0 pinched at y = 10.
    for k in range(23):
        xc = 0.6 + 0.4 * k
        if abs(xc - 5.0) < 1e-9:
            pinched_line(cell, xc, 0.5, 19.5, 10.0)
        else:
            rect(cell, round(xc - LINE / 2, 3), 0.5, round(xc + LINE / 2, 3), 19.5)
    # Contacts on the upper right: 0.3 um squares, pitch 0.7.
    for i in range(13):
        for j in range(13):
            x, y = 10.6 + 0.7 * i, 10.6 + 0.7 * j
            rect(cell, round(x, 3), round(y, 3), round(x + 0.3, 3), round(y + 0.3, 3))
    # L-shaped routing on the lower right: nested Ls of width 0.2, pitch 0.5.
    for k in range(9):
        x0 = 10.5 + 0.5 * k
        y0 = 0.5 + 0.5 * k
        w = 0.2
        cell.add(gdspy.Polygon([(x0, y0), (19.5, y0), (19.5, y0 + w), (x0 + w, y0 + w), (x0 + w, 9.5),
                                (x0, 9.5)], layer=1, datatype=0))
    return {"pinch": [5.0, 10.0], "neck": NECK, "line": LINE}


def grating(cell):
    # Clear lines of GRATING_LINE at GRATING_PITCH along Y, centred on 0.16 + 0.32 k, from x = -3 to
    # 34 and y = -3 to 34: a 128 x 0.04 um grid (5.12 um) holds 16 whole periods.
    for k in range(-10, 107):
        xc = GRATING_PITCH / 2 + GRATING_PITCH * k
        rect(cell, round(xc - GRATING_LINE / 2, 3), -3.0, round(xc + GRATING_LINE / 2, 3), 34.0)
    return {"pitch": GRATING_PITCH, "line": GRATING_LINE, "centre": GRATING_PITCH / 2}


def pinch(cell):
    for xc in (1.6, 2.0, 2.4):
        if xc == 2.0:
            pinched_line(cell, xc, 0.5, 3.5, 2.0)
        else:
            rect(cell, round(xc - LINE / 2, 3), 0.5, round(xc + LINE / 2, 3), 3.5)
    return {"pinch": [2.0, 2.0], "neck": NECK, "line": LINE}


def dense(cell):
    # 0.05 um squares at a pitch of 0.1 um over 6 x 6 um: a tile's window holds thousands.
    for i in range(60):
        for j in range(60):
            rect(cell, round(0.1 * i, 3), round(0.1 * j, 3), round(0.1 * i + 0.05, 3), round(0.1 * j + 0.05, 3))
    return {}


def main():
    kind, out = sys.argv[1], sys.argv[2]
    lib = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)
    cell = gdspy.Cell("TOP")
    lib.add(cell)
    facts = {"block": block, "grating": grating, "pinch": pinch, "dense": dense}[kind](cell)
    lib.write_gds(out)
    if "--describe" in sys.argv:
        print(json.dumps(facts))


if __name__ == "__main__":
    main()
