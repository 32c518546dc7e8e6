#!/usr/bin/python3
"""The error of a tiling against its halo: a region that fits one grid, simulated whole and as
2 x 2 and 3 x 3 tiles, compared pixel by pixel in the stitched images (0.01 um pixels).

  bench/tiling_accuracy.py AERIAL_TOOL [WORK_DIR]

The region, 1.2 x 1.2 um of the tiling benchmark's block (lines and L-shaped routing), is
simulated whole as one grid of 128 x 0.04 um holding the layout 1.96 um round it (7.6 lambda /
NA), the reference. Its tiles import the layout within their halo (the grid beyond it left
dark), on grids of the same 128 x 0.04 um (the source points are rounded to the grid's spectral
samples: a grid of another length is another source). Prints a Markdown table: the halo, in
lambda / NA, and the largest and the RMS difference of intensity (open frame = 1) from the
reference over the region.
"""
import os
import subprocess
import sys
import tempfile

import numpy

HERE = os.path.dirname(os.path.abspath(__file__))
REGION = (8.8, 8.1, 10.0, 9.3)  # lines up to x = 9.5, Ls from x = 10.5
LAMBDA_NA = 0.193 / 0.75


def run(tool, gds, folder, core, halo):
    region = ",".join(str(v) for v in REGION)
    args = [tool, "tile", gds, folder, "--cell", "TOP", "--layer", "1/0", "--region", region, "-q",
            "--tile", str(core), "--halo", str(halo)]
    subprocess.run(args, check=True)
    subprocess.run([tool, "run-tiles", folder, "-q"], check=True)
    subprocess.run([tool, "stitch", folder, "-q"], check=True)
    return numpy.load(os.path.join(folder, "stitched.npy")).astype(numpy.float64)


def main():
    tool = os.path.abspath(sys.argv[1])
    work = sys.argv[2] if len(sys.argv) > 2 else tempfile.mkdtemp(prefix="tiling-accuracy-")
    gds = os.path.join(work, "block.gds")
    subprocess.run([os.path.join(os.path.dirname(HERE), "tests", "tile_layouts.py"), "block", gds], check=True)
    side = REGION[2] - REGION[0]
    whole = run(tool, gds, os.path.join(work, "whole"), side, (5.12 - side) / 2)
    print("| tiles | core (um) | halo (um) | halo / (lambda/NA) | largest difference | RMS difference |")
    print("|---|---|---|---|---|---|")
    for count in (2, 3):
        core = round(side / count, 3)
        for halo in (0.28, 0.52, 0.8, 1.04, 1.32, 1.56, 1.96):
            tiled = run(tool, gds, os.path.join(work, f"t{count}_{halo}"), core, halo)
            d = numpy.abs(tiled - whole)
            print(f"| {count} x {count} | {core:g} | {halo:g} | {halo / LAMBDA_NA:.2f} | {d.max():.2e} | "
                  f"{numpy.sqrt((d * d).mean()):.2e} |")


if __name__ == "__main__":
    main()
