#!/usr/bin/python3
"""A field-filling grating cut into tiles: every core of the stitched image is the grating's
closed form, and the EPE at every site along a line's edge is half the difference of the
printed and the drawn CD.

  tile_grating_test.py AERIAL_TOOL

The closed form: clear lines of width w at pitch P (centred on xc + k P) on a dark field have
the orders a_0 = w / P, a_n = sin(pi n w / P) / (pi n). A grid of N = 128 x h = 0.04 um holds
16 whole periods, so each tile images the infinite grating: source point (j, l) (j^2 + l^2 <= 4)
moves the spectrum by the rounded shifts s = floor(j NA sigma / 2 h N / lambda + 1/2), the
pupil passes order n when (16 n - sx)^2 + sy^2 <= R^2 (R = NA h N / lambda) and both the moved
and the unmoved sample lie on the grid, and I(x) is the mean over the 13 of |sum a_n e^(2 pi i n
(x - xc) / P)|^2. The printed line is where I >= T: its half width e solves I(xc + e) = T, and
EPE = e - w / 2.
"""
import csv
import json
import math
import os
import subprocess
import sys
import tempfile

import numpy

HERE = os.path.dirname(os.path.abspath(__file__))
N, H, WAVELENGTH, NA, SIGMA = 128, 0.04, 0.193, 0.75, 0.5
THRESHOLD = 0.3


def closed_form(pitch, w, x):
    radius = NA * H * N / WAVELENGTH
    k = round(N * H / pitch)
    c = N // 2

    def shift(j):
        return math.floor((((((j * NA) * SIGMA) / 2.0) * H) * N) / WAVELENGTH + 0.5)

    x = numpy.asarray(x, dtype=float)
    total = numpy.zeros_like(x)
    for j in range(-2, 3):
        for l in range(-2, 3):
            if j * j + l * l > 4:
                continue
            sx, sy = shift(j), shift(l)
            a = numpy.zeros_like(x, dtype=complex)
            for order in range(-N, N + 1):
                f = order * k - sx
                on_grid = 0 <= c + f < N and 0 <= c + order * k < N
                if not on_grid or f * f + sy * sy > radius * radius:
                    continue
                an = w / pitch if order == 0 else math.sin(math.pi * order * w / pitch) / (math.pi * order)
                a += an * numpy.exp(2j * math.pi * order * x / pitch)
            total += numpy.abs(a) ** 2
    return total / 13


def half_width(pitch, w):
    lo, hi = 0.0, pitch / 2
    for _ in range(100):
        mid = (lo + hi) / 2
        if closed_form(pitch, w, [mid])[0] >= THRESHOLD:
            lo = mid
        else:
            hi = mid
    return (lo + hi) / 2


def run(*args):
    subprocess.run(list(args), check=True)


def main():
    tool = sys.argv[1]
    failures = []
    with tempfile.TemporaryDirectory() as work:
        gds = os.path.join(work, "grating.gds")
        facts = json.loads(subprocess.run([os.path.join(HERE, "tile_layouts.py"), "grating", gds, "--describe"],
                                          check=True, capture_output=True, text=True).stdout)
        pitch, w, xc = facts["pitch"], facts["line"], facts["centre"]

        # 10 x 10 tiles of the default core (3.04 um): the stitched image at 0.04 um pixels.
        field = os.path.join(work, "field")
        run(tool, "tile", gds, field, "--cell", "TOP", "--layer", "1/0", "--region", "0,0,30.4,30.4", "-q")
        run(tool, "run-tiles", field, "-q")
        run(tool, "stitch", field, "--pixel", "0.04", "-q")
        image = numpy.load(os.path.join(field, "stitched.npy")).astype(float)
        with open(os.path.join(field, "stitched.json")) as f:
            scale = json.load(f)
        x = scale["firstPixelCentre"][0] + scale["pixelPitch"] * numpy.arange(scale["width"])
        expected = closed_form(pitch, w, x - xc)
        worst = numpy.abs(image - expected[numpy.newaxis, :]).max()
        # The tables print six decimals (a rounding of 5e-7), float32 keeps 6e-8 of 1.
        print(f"10 x 10 tiles: largest difference from the closed form {worst:.2e}")
        if not worst <= 2e-6:
            failures.append(f"stitched grating differs from its closed form by {worst:.3g}")

        # EPE on 2 x 2 tiles: every site on a line's long edge, away from the region's ends.
        small = os.path.join(work, "small")
        run(tool, "tile", gds, small, "--cell", "TOP", "--layer", "1/0", "--region", "0,0,6.08,6.08", "-q")
        run(tool, "run-tiles", small, "-q")
        run(tool, "verify", small, "--threshold", str(THRESHOLD), "-q")
        expected_epe = half_width(pitch, w) - w / 2
        with open(os.path.join(small, "verify.csv")) as f:
            sites = [row for row in csv.DictReader(f) if row["normal_x"] != "0"]
        if len(sites) < 1000:
            failures.append(f"only {len(sites)} sites along the lines' edges")
        off = [abs(float(s["epe"]) - expected_epe) for s in sites if s["status"] == "measured"]
        if len(off) != len(sites):
            failures.append("sites along the lines without a measured EPE")
        print(f"EPE expected {expected_epe * 1000:.4f} nm, sites off by at most {max(off) * 1000:.2e} nm")
        if not max(off) <= 5e-5:
            failures.append(f"EPE off half the CD difference by {max(off):.3g} um")
        with open(os.path.join(small, "verify.json")) as f:
            report = json.load(f)
        if report["hotspots"]["pinch"] != 0 or report["hotspots"]["bridge"] != 0:
            failures.append("a grating that prints reports pinches or bridges")
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
