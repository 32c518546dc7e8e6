"""examples/python/focus_series.py runs to its end with the module and matplotlib and leaves
its pictures and the image table of the input's own focus."""
import os
import subprocess
import sys

import aerial


def test_focus_series_example(source, tmp_path):
    script = os.path.join(source, "examples", "python", "focus_series.py")
    environment = dict(os.environ, MPLBACKEND="Agg", MPLCONFIGDIR=str(tmp_path / "mpl"))
    out = subprocess.run([sys.executable, script, str(tmp_path)], env=environment, check=True,
                         capture_output=True, text=True).stdout
    for picture in ("focus_series_image.png", "focus_series_cuts.png", "focus_series_peaks.png"):
        with open(tmp_path / picture, "rb") as f:
            assert f.read(8) == b"\x89PNG\r\n\x1a\n", picture
    case = aerial.read_input(os.path.join(source, "examples", "python", "contact-holes", "IN_FM.txt"))
    with open(tmp_path / "OUT_M.xls", "rb") as f:
        assert f.read() == aerial.simulate(case).table("OUT_M.xls")
    assert "left hole: highest peak" in out and "right hole: highest peak" in out
