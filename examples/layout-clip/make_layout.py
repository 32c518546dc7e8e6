#!/usr/bin/python3
"""Writes layout.gds, the layout of this example, with gdspy (Debian: python3-gdspy).

Cell TOP holds on layer 1/0: an L-shaped wire drawn as a path 0.1 um wide, a 4 x 2 array
of 0.12 um contacts (cell VIA) and a T-shaped cell (TEE) placed turned by 90 degrees and
mirrored. User unit 1 um, database unit 1 nm.
"""
import gdspy

lib = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)
via = gdspy.Cell("VIA")
via.add(gdspy.Rectangle((-0.06, -0.06), (0.06, 0.06), layer=1))
tee = gdspy.Cell("TEE")
tee.add(gdspy.Rectangle((0, 0), (0.3, 0.1), layer=1))
tee.add(gdspy.Rectangle((0.1, 0.1), (0.2, 0.3), layer=1))
top = gdspy.Cell("TOP")
top.add(gdspy.FlexPath([(-0.5, 0.45), (0.1, 0.45), (0.1, 0.05)], 0.1, ends="flush",
                       gdsii_path=True, layer=1))
top.add(gdspy.CellArray(via, 4, 2, (0.25, 0.25), origin=(-0.45, -0.45)))
top.add(gdspy.CellReference(tee, origin=(0.25, -0.1), rotation=90, x_reflection=True))
for cell in (via, tee, top):
    lib.add(cell)
lib.write_gds("layout.gds")
