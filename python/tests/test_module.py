"""import aerial against main4 and against imaging theory."""
import ctypes
import os
import shutil
import threading
import time

import numpy as np
import pytest

import aerial


def main4_tables(library_path, folder, input_path):
    """main4 of the built library on a copy of the input, in its own folder: the three tables."""
    os.makedirs(folder)
    shutil.copy(input_path, os.path.join(folder, "IN_FM.txt"))
    library = ctypes.CDLL(library_path)
    library.main4.restype = None
    start = os.getcwd()
    os.chdir(folder)
    try:
        library.main4()
    finally:
        os.chdir(start)
    tables = {}
    for name in aerial.TABLES:
        with open(os.path.join(folder, name), "rb") as f:
            tables[name] = f.read()
    return tables


def test_bundled_example_formats_as_main4s_tables(library_path, source, tmp_path):
    example = os.path.join(source, "examples", "two-rectangles", "IN_FM.txt")
    expected = main4_tables(library_path, str(tmp_path / "main4"), example)
    result = aerial.simulate(aerial.read_input(example))
    for name in aerial.TABLES:
        assert result.table(name) == expected[name], name
    assert result.intensity.shape == (128, 128)
    # The arrays hold the very cells the table prints, row y then column x: "%f" of the
    # centre cell of the image table's middle row.
    row = expected["OUT_M.xls"].split(b"\r\n")[2 + 64].split(b"\t")
    assert row[1 + 64] == b"%f" % result.intensity[64, 64]
    assert row[0] == b"%f" % result.positions[64]


def test_input_by_names_and_from_a_file_agree(source):
    example = aerial.read_input(os.path.join(source, "examples", "two-rectangles", "IN_FM.txt"))
    assert (example.grid, example.sample_pitch, example.wavelength, example.na, example.sigma) == (128, 0.01, 0.193, 0.75, 0.5)
    rows = [[1, 0, -20, 20, -40, 40], [-1, 0, -5, 5, -64, 64]]  # the file's y edges +-70 read as N/2 = 64
    assert example.rectangles.tolist() == rows
    by_name = aerial.Input(grid=128, sample_pitch=0.01, wavelength=0.193, na=0.75, sigma=0.5, rectangles=np.array(rows))
    a, b = aerial.simulate(example), aerial.simulate(by_name)
    assert a.intensity.tobytes() == b.intensity.tobytes()
    # A keyword changes one value of the input it is given with.
    defocused = aerial.simulate(example, defocus=0.1)
    assert example.defocus == 0 and defocused.intensity.tobytes() != a.intensity.tobytes()
    assert aerial.simulate(example.replace(defocus=0.1)).intensity.tobytes() == defocused.intensity.tobytes()


def test_grating_gives_the_coherent_three_beam_image():
    # Clear spaces of 16 samples at a period of 32 samples (0.16 um at 0.32 um): four whole
    # periods on the 128-sample grid, one space centred on the grid centre. The orders lie
    # 128 / 32 = 4 spectral samples apart and the pupil radius is NA * pitch * N /
    # wavelength = 0.75 * 0.01 * 128 / 0.193 = 4.97 samples, so with a coherent source the
    # orders 0 and +-1 pass and no other. A 1:1 grating of transmissions 0 and 1 has the
    # Fourier coefficients a0 = 1/2 and a1 = sin(pi/2) / pi = 1/pi, so the image is
    # (a0 + 2 a1 cos(2 pi x / p))^2 at every y.
    spaces = [[-8, 8], [24, 40], [-40, -24], [56, 64], [-64, -56]]
    rectangles = np.array([[1, 0, x0, x1, -64, 64] for x0, x1 in spaces], dtype=float)
    result = aerial.simulate(grid=128, sample_pitch=0.01, wavelength=0.193, na=0.75, sigma=0, rectangles=rectangles)
    period = 0.32
    x = result.positions  # x = (index - 64) * 0.01
    expected = (0.5 + 2 / np.pi * np.cos(2 * np.pi * x / period)) ** 2
    assert np.allclose(result.intensity, expected[np.newaxis, :], rtol=0, atol=1e-9)
    assert result.intensity[64, 64] == pytest.approx((0.5 + 2 / np.pi) ** 2, abs=1e-9)


def varied_inputs(count):
    base = aerial.Input(grid=48, sample_pitch=0.02, wavelength=0.193, na=0.8, sigma=0.6,
                        rectangles=np.array([[1, 0, -6, 6, -10, 10], [0.5, -0.5, -11, -4, -3, 9]]))
    return [base.replace(defocus=0.02 * k, ax3=0.001 * k, grid=24 + 4 * k) for k in range(count)]


def test_two_threads_at_once_give_the_serial_arrays():
    inputs = varied_inputs(8)
    serial = [aerial.simulate(v) for v in inputs]
    results = [None] * len(inputs)

    def work(first):
        simulation = aerial.Simulation()
        for k in range(first, len(inputs), 2):
            results[k] = simulation.run(inputs[k])

    threads = [threading.Thread(target=work, args=(t,)) for t in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for k, (a, b) in enumerate(zip(serial, results)):
        for name in ("amplitude", "phase", "intensity", "positions", "direction_sines"):
            assert getattr(a, name).tobytes() == getattr(b, name).tobytes(), (k, name)


def test_a_run_lets_other_python_threads_run():
    # The direct evaluation of a 64-sample grid takes a few hundred milliseconds. With the
    # GIL held for the run, no other thread could execute a line of Python between the
    # moment the run starts and its end; the main thread records when it runs.
    values = varied_inputs(1)[0].replace(grid=64)
    call = {}
    done = threading.Event()

    def work():
        call["start"] = time.perf_counter()
        aerial.simulate(values, evaluation="direct")
        call["end"] = time.perf_counter()
        done.set()

    worker = threading.Thread(target=work)
    stamps = []
    worker.start()
    while not done.is_set():
        stamps.append(time.perf_counter())
    worker.join()
    # Stamps well inside the run: later than the start by more than a switch interval.
    inside = [t for t in stamps if call["start"] + 0.05 < t < call["end"]]
    assert call["end"] - call["start"] > 0.1, "the run was too short to tell"
    assert inside, "no other thread ran during the run: the GIL was held"


def test_errors_say_what_is_wrong(tmp_path):
    missing = str(tmp_path / "IN_FM.txt")
    with pytest.raises(OSError, match="not a readable file"):
        aerial.read_input(missing)
    cases = [
        (dict(grid=200), aerial.InputError, "grid 200 is above 128 \\(the reader limits it to 128\\)"),
        (dict(grid=16, rectangles=np.array([[1, 0, -9, 0, -1, 1]])), aerial.InputError,
         "rectangle 0 x-start -9 is beyond h = N/2 = 8"),
        (dict(rectangles=np.zeros((1001, 6))), ValueError, "1001 rows is above 1000"),
        (dict(rectangles=np.zeros((3, 5))), ValueError, "shape \\(n, 6\\)"),
        (dict(lambda_=0.193), TypeError, "the names are grid, sample_pitch"),
    ]
    for parameters, error, message in cases:
        with pytest.raises(error, match=message):
            aerial.simulate(**parameters)
    assert issubclass(aerial.InputError, ValueError)
    with pytest.raises(ValueError, match="'fast' or 'direct'"):
        aerial.simulate(grid=8, evaluation="quick")


def test_results_are_read_only_views():
    result = aerial.simulate(grid=8, sample_pitch=0.05, wavelength=0.193, na=0.9, rectangles=np.array([[1, 0, -2, 2, -2, 2]]))
    with pytest.raises(ValueError):
        result.intensity[0, 0] = 1
    empty = aerial.simulate(grid=0)
    assert empty.intensity.shape == (0, 0) and empty.table("intensity").endswith(b"\r\n\t\r\n\r\n")
