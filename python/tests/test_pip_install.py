"""pip install of the module into a fresh virtual environment, as a user installs it:
/usr/bin/python3 -m venv --system-site-packages, then pip install --no-build-isolation
--no-index of python/ (no package index is reachable), then import aerial and one run.
The sources are copied first, so the build leaves nothing in the source tree."""
import os
import shutil
import subprocess
import sys

# What the module's CMake build reads: the top-level CMakeLists.txt and these folders.
SOURCES = ("CMakeLists.txt", "cmake", "include", "src", "python")


def test_pip_install_in_a_fresh_virtual_environment(source, tmp_path):
    tree = tmp_path / "aerial"
    tree.mkdir()
    for name in SOURCES:
        path = os.path.join(source, name)
        if os.path.isdir(path):
            shutil.copytree(path, tree / name, ignore=shutil.ignore_patterns("__pycache__", "build", "*.egg-info"))
        else:
            shutil.copy(path, tree / name)
    venv = tmp_path / "venv"
    interpreter = "/usr/bin/python3" if os.path.exists("/usr/bin/python3") else sys.executable
    subprocess.run([interpreter, "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = str(venv / "bin" / "python")
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index", "--quiet", "."],
                   cwd=tree / "python", check=True)
    # Away from the tree, so that only the installed module can be found.
    probe = ("import aerial, numpy as np; "
             "r = aerial.simulate(grid=16, sample_pitch=0.02, wavelength=0.193, na=0.8, "
             "rectangles=np.array([[1, 0, -4, 4, -8, 8]])); "
             "print(aerial.__file__, r.intensity.shape)")
    environment = {k: v for k, v in os.environ.items() if k != "PYTHONPATH"}
    out = subprocess.run([python, "-c", probe], cwd=tmp_path, env=environment, check=True, capture_output=True,
                         text=True).stdout
    assert str(venv) in out and "(16, 16)" in out, out
    shutil.rmtree(venv)
    shutil.rmtree(tree) # with the build's objects
