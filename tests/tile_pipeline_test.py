#!/usr/bin/python3
"""aerial tile, run-tiles, stitch and verify as users run them, on small layouts.

  tile_pipeline_test.py AERIAL_TOOL

- refusals: a tiling beyond the tile limit and tiles beyond 1000 rectangles, each with its
  count; a sample pitch at which the samples no longer determine the image;
- the tiles run in process and through GNU parallel (--print-commands) give the same bytes;
- tiles cut short or older than tiles.json are refused by name, and run again;
- three lines, the middle one narrowed to 0.05 um over 0.4 um (below the 0.06 um limit):
  exactly one pinch, at the neck, the verify picture shows its mark there and the report's
  page names it.
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

HERE = os.path.dirname(os.path.abspath(__file__))
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message)


def aerial(tool, *args, status=0):
    r = subprocess.run([tool, *args], capture_output=True, text=True)
    check(r.returncode == status, f"aerial {' '.join(args)}: status {r.returncode}, wanted {status}: {r.stderr}")
    return r


def layout(work, kind):
    path = os.path.join(work, kind + ".gds")
    out = subprocess.run([os.path.join(HERE, "tile_layouts.py"), kind, path, "--describe"], check=True,
                         capture_output=True, text=True).stdout
    return path, json.loads(out)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def main():
    tool = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        pinch, facts = layout(work, "pinch")
        dense, _ = layout(work, "dense")
        common = ["--cell", "TOP", "--layer", "1/0"]

        # Refusals, each with its count and nothing written.
        r = aerial(tool, "tile", pinch, os.path.join(work, "huge"), *common, "--region", "0,0,400,400", "--tile",
                   "0.2", status=2)
        check("2000 x 2000 = 4000000 tiles" in r.stderr and "10000" in r.stderr, "tile limit: " + r.stderr)
        check(not os.path.exists(os.path.join(work, "huge")), "a refused tiling wrote its folder")
        r = aerial(tool, "tile", dense, os.path.join(work, "dense"), *common, "--region", "0,0,6,6", status=2)
        check("4 of 4 tiles need more than the 1000 rectangles" in r.stderr and "tile_r000_c000 (" in r.stderr
              and "--tile" in r.stderr, "rectangle limit: " + r.stderr)
        r = aerial(tool, "tile", pinch, os.path.join(work, "coarse"), *common, "--region", "0,0,4,4",
                   "--sample-pitch", "0.07", status=2)
        check("do not determine the image" in r.stderr, "coarse sampling: " + r.stderr)

        # In process and through GNU parallel: the same bytes.
        a, b = os.path.join(work, "a"), os.path.join(work, "b")
        for d in (a, b):
            aerial(tool, "tile", pinch, d, *common, "--region", "0,0,4,4", "-q")
        with open(os.path.join(a, "tiles.json")) as f:
            tiling = json.load(f)
        names = [t["name"] for t in tiling["tiles"]]
        check(len(names) == 4, f"4 tiles expected, got {len(names)}")
        r = aerial(tool, "stitch", a, status=2)
        check("4 of 4 tiles are not done" in r.stderr and names[0] in r.stderr, "stitch before run: " + r.stderr)
        aerial(tool, "run-tiles", a, "--jobs", "2", "-q")
        commands = aerial(tool, "run-tiles", b, "--print-commands").stdout
        check(len(commands.splitlines()) == 4, "one command a tile")
        subprocess.run(["parallel", "-j", "2"], input=commands, text=True, check=True)
        for name in names:
            for table in ("OUT_M.xls", "OUT_MR.xls", "OUT_MI.xls"):
                check(read(os.path.join(a, name, table)) == read(os.path.join(b, name, table)),
                      f"{name}/{table} differs between in process and GNU parallel")
        check(aerial(tool, "run-tiles", b, "--print-commands").stdout == "", "finished tiles printed again")
        for d in (a, b):
            aerial(tool, "stitch", d, "-q")
        for f in ("stitched.npy", "stitched.tif", "stitched.json"):
            check(read(os.path.join(a, f)) == read(os.path.join(b, f)), f"{f} differs between the two ways")
        with open(os.path.join(a, "stitched.json")) as f:
            scale = json.load(f)
        check(scale["width"] == 400 and scale["height"] == 400, "a 4 um region at 0.01 um is 400 x 400 pixels")

        # Cut short, then stale: refused by name, run again.
        table = os.path.join(b, names[1], "OUT_M.xls")
        with open(table, "r+b") as f:
            f.truncate(os.path.getsize(table) // 2)
        r = aerial(tool, "stitch", b, status=2)
        check(f"{names[1]}: OUT_M.xls is cut short" in r.stderr, "cut short: " + r.stderr)
        future = time.time() + 5
        os.utime(os.path.join(b, "tiles.json"), (future, future))
        r = aerial(tool, "verify", b, status=2)
        check("4 of 4 tiles are not done" in r.stderr and "older than tiles.json" in r.stderr, "stale: " + r.stderr)
        r = aerial(tool, "run-tiles", b)
        check("ran 4 tiles" in r.stdout, "stale tiles run again: " + r.stdout)
        check("warning" not in r.stderr, "a warning with the layout unchanged: " + r.stderr)
        shutil.copy(pinch, pinch + ".orig")
        with open(pinch, "ab") as f:
            f.write(b"\0\0")
        r = aerial(tool, "run-tiles", b)
        check("has changed since the tiles were cut" in r.stderr, "a changed layout unremarked: " + r.stderr)
        shutil.move(pinch + ".orig", pinch)

        # The pinch: one, at the neck, on the picture.
        r = aerial(tool, "verify", a, "--focus", "-0.1,0.1")
        with open(os.path.join(a, "verify.json")) as f:
            report = json.load(f)
        pinches = [h for h in report["hotspots"]["list"] if h["kind"] == "pinch"]
        check(len(pinches) == 1, f"one pinch expected, got {len(pinches)}")
        check(report["hotspots"]["bridge"] == 0, "no bridge expected")
        px, py = facts["pinch"]
        if pinches:
            h = pinches[0]
            check(abs(h["x"] - px) <= 0.01 and abs(h["y"] - py) <= 0.05,
                  f"the pinch at ({h['x']}, {h['y']}), drawn at ({px}, {py})")
            check(h["smallestWidth"] < 0.06, "the pinch's width is below the limit")
        picture = Image.open(os.path.join(a, "verify.png")).convert("RGB")
        check(picture.size == (400, 400), "the picture has a pixel per 0.01 um")
        # The pinch's mark: a red ring six pixels round the neck's centre (pixel (200, 200) of
        # the 4 um region; its edges are on pixel boundaries, so the ring may sit a pixel off).
        i, j = int(px / 0.01), int((4 - py) / 0.01)
        red = (255, 0, 0)

        def red_near(di, dj):
            return any(picture.getpixel((i + di * r, j + dj * r)) == red for r in range(5, 9))

        check(all(red_near(di, dj) for di, dj in [(1, 0), (-1, 0), (0, 1), (0, -1)]),
              "the pinch's ring is not round the neck in the picture")
        check(picture.getpixel((i, j)) != red, "the neck itself is covered by the mark")
        check(sum(picture.getpixel((x, y)) == red for x in range(400) for y in range(400)) < 120,
              "red elsewhere in the picture than round the pinch")
        # Lines of 0.15 um: their long edges measured, within tens of nanometres of the drawing.
        check(report["sites"]["measured"] > 200, "too few measured sites")
        check(report["band"]["total"] > 0, "the focus corners leave no band")

        # The report's page of the tiling: its figures and the pinch, as text in the PDF.
        aerial(tool, "report", a, "-q")
        text = subprocess.run(["pdftotext", "-layout", os.path.join(a, "report.pdf"), "-"], check=True,
                              capture_output=True, text=True).stdout
        check("2 x 2 tiles" in text and "1 pinch, 0 bridge" in text and "at (2.000, 2.000): printed width" in text,
              "the report's tiling page: " + text[:400])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
