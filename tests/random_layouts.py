#!/usr/bin/python3
"""Random Manhattan layouts written with gdspy, and gdspy's own answer for a clip of each.

  random_layouts.py COUNT SEED FOLDER

writes FOLDER/layout-K.gds and FOLDER/layout-K.txt for K = 0 .. COUNT-1. A layout (user unit
1 um, database unit 1 nm) has two cells of random rectilinear polygons, holes included
(gdspy's boolean joins a hole to its outline by a slit), whose vertex lists are then
disturbed as layouts from other tools are: a start in the middle of an edge, repeated and
collinear vertices, a zero-width spike, clockwise order. The top cell places them with
rotations by multiples of 90 degrees, reflections, magnifications of 0.5, 1 and 2 (0.5 puts
edges on half database units), arrays, and through a middle cell. The window, corners on
the database grid, runs through the shapes.

The text file holds the clip as gdspy computes it from the flattened polygons (boolean
union, then intersection with the window, or the window minus the union for a dark field):
  clip CELL LAYER X0 Y0 X1 Y1 DARK AREA      window in um, area of the clear region in um^2
  point X Y INSIDE                           points in um, 1 where the clear region is
The points lie a fraction of a database unit off every edge."""
import random
import sys

import gdspy

PRECISION = 1e-5  # um: gdspy's integer grid for booleans and inside tests, finer than half a unit


def snap(value):
    return round(value * 1000) / 1000  # to the database grid, in um


def random_region(rnd, layer):
    """Union of a few random rectangles on a 10 nm grid, minus a smaller one (maybe a hole)."""
    region = None
    for _ in range(rnd.randint(2, 5)):
        x0, y0 = rnd.randint(-40, 30) * 0.01, rnd.randint(-40, 30) * 0.01
        box = gdspy.Rectangle((x0, y0), (x0 + rnd.randint(3, 30) * 0.01, y0 + rnd.randint(3, 30) * 0.01))
        region = box if region is None else gdspy.boolean(region, box, "or", precision=PRECISION)
    if rnd.random() < 0.6:
        x0, y0 = rnd.randint(-30, 20) * 0.01, rnd.randint(-30, 20) * 0.01
        cut = gdspy.Rectangle((x0, y0), (x0 + rnd.randint(2, 8) * 0.01, y0 + rnd.randint(2, 8) * 0.01))
        region = gdspy.boolean(region, cut, "not", precision=PRECISION)
    return [] if region is None else [[(snap(x), snap(y)) for x, y in p] for p in region.polygons]


def disturb(rnd, points):
    """The same outline with the vertex list another tool might write."""
    p = list(points)
    if rnd.random() < 0.5:  # a vertex in the middle of an edge, and the outline starts there
        k = rnd.randrange(len(p))
        a, b = p[k], p[(k + 1) % len(p)]
        middle = (snap((a[0] + b[0]) / 2), snap((a[1] + b[1]) / 2))
        p = [middle] + p[k + 1:] + p[:k + 1]
    else:
        k = rnd.randrange(len(p))
        p = p[k:] + p[:k]
    for _ in range(rnd.randint(0, 3)):  # repeated vertices, the first one included
        k = rnd.randrange(len(p))
        p.insert(k, p[k])
    if rnd.random() < 0.3:  # collinear vertices on an edge
        k = rnd.randrange(len(p))
        a, b = p[k], p[(k + 1) % len(p)]
        if a != b:
            p.insert(k + 1, (snap(a[0] + (b[0] - a[0]) / 3), snap(a[1] + (b[1] - a[1]) / 3)))
    if rnd.random() < 0.2:  # a spike: out along an edge's line and back
        k = rnd.randrange(len(p))
        a, b = p[k], p[(k + 1) % len(p)]
        if a != b:
            p.insert(k + 1, b)
            p.insert(k + 1, (snap(a[0] + 2 * (b[0] - a[0])), snap(a[1] + 2 * (b[1] - a[1]))))
    if rnd.random() < 0.5:
        p.reverse()
    return p


def make_layout(rnd, path):
    lib = gdspy.GdsLibrary(unit=1e-6, precision=1e-9)
    cells = []
    for name in ("A", "B"):
        cell = gdspy.Cell(name, exclude_from_current=True)
        for _ in range(rnd.randint(1, 2)):
            for polygon in random_region(rnd, 1):
                cell.add(gdspy.Polygon(disturb(rnd, polygon), layer=1))
        lib.add(cell)
        cells.append(cell)
    mid = gdspy.Cell("MID", exclude_from_current=True)
    mid.add(gdspy.CellReference(cells[0], origin=(snap(rnd.uniform(-0.3, 0.3)), snap(rnd.uniform(-0.3, 0.3))),
                                rotation=rnd.choice([0, 90, 180, 270]), magnification=rnd.choice([1, 0.5]),
                                x_reflection=rnd.random() < 0.5))
    lib.add(mid)
    top = gdspy.Cell("TOP", exclude_from_current=True)
    top.add(gdspy.CellReference(mid, origin=(snap(rnd.uniform(-0.3, 0.3)), snap(rnd.uniform(-0.3, 0.3))),
                                rotation=rnd.choice([0, 90, 180, 270]), magnification=rnd.choice([1, 2]),
                                x_reflection=rnd.random() < 0.5))
    if rnd.random() < 0.5:
        top.add(gdspy.CellArray(cells[1], rnd.randint(1, 3), rnd.randint(1, 3),
                                (rnd.randint(20, 60) * 0.01, rnd.randint(20, 60) * 0.01),
                                origin=(snap(rnd.uniform(-0.5, 0)), snap(rnd.uniform(-0.5, 0))),
                                rotation=rnd.choice([0, 90, 180, 270]), x_reflection=rnd.random() < 0.5))
    else:
        top.add(gdspy.CellReference(cells[1], origin=(snap(rnd.uniform(-0.4, 0.4)), snap(rnd.uniform(-0.4, 0.4))),
                                    rotation=rnd.choice([0, 90, 180, 270]), magnification=rnd.choice([1, 0.5, 2]),
                                    x_reflection=rnd.random() < 0.5))
    lib.add(top)
    lib.write_gds(path)
    return top


def main():
    count, seed, folder = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    rnd = random.Random(seed)
    k = 0
    while k < count:
        top = make_layout(rnd, "%s/layout-%d.gds" % (folder, k))
        flat = top.get_polygons(by_spec=True).get((1, 0), [])
        if not flat:
            continue
        shapes = gdspy.boolean(flat, [], "or", precision=PRECISION)
        (bx0, by0), (bx1, by1) = shapes.get_bounding_box()
        # A window of 0.2 to 1.28 um a side, on the database grid, through the shapes.
        w = snap(rnd.uniform(0.2, 1.28))
        h = snap(rnd.uniform(0.2, 1.28))
        x0 = snap(rnd.uniform(bx0 - w / 2, bx1 - w / 2))
        y0 = snap(rnd.uniform(by0 - h / 2, by1 - h / 2))
        window = gdspy.Rectangle((x0, y0), (snap(x0 + w), snap(y0 + h)))
        if gdspy.boolean(window, shapes, "and", precision=PRECISION) is None:
            continue  # no shape in the window: the import refuses such a clip
        dark = rnd.random() < 0.3
        clear = gdspy.boolean(window, shapes, "not" if dark else "and", precision=PRECISION)
        area = 0 if clear is None else sum(gdspy.Polygon(p).area() for p in clear.polygons)
        points = []
        for i in range(24):
            for j in range(24):
                # 0.37 and 0.61 of a database unit off the half-unit grid every edge lies on
                points.append((snap(x0 + (i + 0.5) * w / 24) + 0.00037, snap(y0 + (j + 0.5) * h / 24) + 0.00061))
        inside = [False] * len(points) if clear is None else gdspy.inside(points, clear, precision=PRECISION)
        with open("%s/layout-%d.txt" % (folder, k), "w") as out:
            out.write("clip TOP 1 %.3f %.3f %.3f %.3f %d %.12g\n" % (x0, y0, snap(x0 + w), snap(y0 + h), dark, area))
            for (x, y), flag in zip(points, inside):
                out.write("point %.6f %.6f %d\n" % (x, y, 1 if flag else 0))
        k += 1


main()
