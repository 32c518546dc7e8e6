"""A focus series of the contact-hole example with the aerial module, notebook style: run
each cell (# %%) in turn in an editor that knows them, or the whole file at once.

    python3 examples/python/focus_series.py [OUTPUT_FOLDER]

It reads examples/python/contact-holes/IN_FM.txt, runs it at 13 foci on threads (a run
releases the GIL, so they run at once), and draws three pictures into OUTPUT_FOLDER
(default: the current folder): the image at the input's own focus, the cut through both
holes at every focus, and each hole's peak intensity through focus. Needs numpy and
matplotlib (Debian: python3-numpy, python3-matplotlib) and the module (python/README.md).
"""
# %% The input, as the library reads it
import os
import sys
from concurrent.futures import ThreadPoolExecutor

import matplotlib

matplotlib.use("Agg")  # pictures into files; drop this line in an interactive session
import matplotlib.pyplot as plt
import numpy as np

import aerial

HERE = os.path.dirname(os.path.abspath(__file__))
output = sys.argv[1] if len(sys.argv) > 1 else "."
case = aerial.read_input(os.path.join(HERE, "contact-holes", "IN_FM.txt"))
print(case)
print(case.rectangles)  # trans re, trans im, x start, x end, y start, y end (samples)

# %% One run at the input's own focus: the image and the mask's outline
result = aerial.simulate(case)
x = result.positions  # um, the labels of OUT_M.xls; the image is [y, x]
pitch = case.sample_pitch
extent = [x[0] - pitch / 2, x[-1] + pitch / 2, x[0] - pitch / 2, x[-1] + pitch / 2]
fig, ax = plt.subplots(figsize=(5.5, 4.5))
shown = ax.imshow(result.intensity, origin="lower", extent=extent, cmap="viridis")
fig.colorbar(shown, label="intensity (open frame = 1)")
for tr, ti, x0, x1, y0, y1 in case.rectangles[1:]:  # the holes; row 0 is the background
    ax.add_patch(plt.Rectangle((x0 * pitch, y0 * pitch), (x1 - x0) * pitch, (y1 - y0) * pitch,
                               fill=False, edgecolor="red", linewidth=0.8))
ax.set(xlabel="x (um)", ylabel="y (um)", title="contact holes at defocus %g um" % case.defocus)
fig.savefig(os.path.join(output, "focus_series_image.png"), dpi=110, bbox_inches="tight")

# %% A focus series on threads: 13 foci from -0.3 to 0.3 um
foci = np.linspace(-0.3, 0.3, 13)
with ThreadPoolExecutor() as pool:
    series = list(pool.map(lambda z: aerial.simulate(case, defocus=z), foci))
centre = case.grid // 2
cuts = np.array([r.intensity[centre, :] for r in series])  # along x at y = 0

fig, ax = plt.subplots(figsize=(6, 4))
colours = plt.cm.coolwarm(np.linspace(0, 1, len(foci)))
for z, cut, colour in zip(foci, cuts, colours):
    ax.plot(x, cut, color=colour, linewidth=1, label="%+.2f" % z)
ax.set(xlabel="x (um) at y = 0", ylabel="intensity", title="cut through both holes")
ax.legend(title="defocus (um)", fontsize=7, ncol=2)
fig.savefig(os.path.join(output, "focus_series_cuts.png"), dpi=110, bbox_inches="tight")

# %% Each hole's peak through focus: the aberrations (coma-like ax3) and the shift make the
# two holes, of different widths, peak at different foci
holes = {"left hole": x < 0, "right hole": x > 0}
fig, ax = plt.subplots(figsize=(5, 3.5))
for name, side in holes.items():
    peaks = cuts[:, side].max(axis=1)
    ax.plot(foci, peaks, marker="o", label=name)
    print("%s: highest peak %.4f at defocus %+.2f um" % (name, peaks.max(), foci[peaks.argmax()]))
ax.set(xlabel="defocus (um)", ylabel="peak intensity", title="peak intensity through focus")
ax.legend()
fig.savefig(os.path.join(output, "focus_series_peaks.png"), dpi=110, bbox_inches="tight")

# %% The tables main4 would write for the input, from the arrays (byte for byte)
with open(os.path.join(output, "OUT_M.xls"), "wb") as table:
    table.write(result.table("OUT_M.xls"))
print("pictures and OUT_M.xls in", os.path.abspath(output))
