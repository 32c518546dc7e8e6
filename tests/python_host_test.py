#!/usr/bin/env python3
"""The Python host example against the built library: a ctypes call leaves the same bytes
as the C++ tool, and the table reader loses nothing of what the table says.

Usage: python_host_test.py LIBRARY TOOL SOURCE_DIR
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

LIBRARY, TOOL, SOURCE = sys.argv[1:4]
sys.path.insert(0, os.path.join(SOURCE, "examples", "python"))
import aerial_host  # noqa: E402

EXAMPLE = os.path.join(SOURCE, "examples", "python", "contact-holes", "IN_FM.txt")
TABLES = ("OUT_MR.xls", "OUT_MI.xls", "OUT_M.xls")


def case_folder(parent, name):
    folder = os.path.join(parent, name)
    os.mkdir(folder)
    shutil.copy(EXAMPLE, folder)
    return folder


def table_text(table):
    """The table written back from what read_table returned, "%f" and TAB for every value."""
    def row(label, cells):
        return "".join("%f\t" % v for v in [label] + cells).encode() + b"\r\n"
    text = table.title.encode("cp932") + b"\r\n\t"
    text += "".join("%f\t" % v for v in table.x).encode() + b"\r\n"
    text += b"".join(row(label, cells) for label, cells in zip(table.y, table.rows))
    return text + b"\r\n"


class PythonHost(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp()
        cls.library = aerial_host.load_library(LIBRARY)
        cls.python_run = case_folder(cls.work, "python")
        start = os.getcwd()
        aerial_host.run_main4(cls.library, cls.python_run)
        cls.cwd_after_run = os.getcwd()
        os.chdir(start)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work)

    def test_same_tables_as_the_tool(self):
        tool_run = case_folder(self.work, "tool")
        subprocess.run([TOOL, "run", "-q", "--library", LIBRARY, tool_run], check=True)
        for name in TABLES:
            with self.subTest(table=name):
                with open(os.path.join(self.python_run, name), "rb") as a, \
                        open(os.path.join(tool_run, name), "rb") as b:
                    self.assertEqual(a.read(), b.read())

    def test_working_directory_is_restored(self):
        self.assertNotEqual(os.path.realpath(self.cwd_after_run),
                            os.path.realpath(self.python_run))

    def test_reader_keeps_every_value_of_every_table(self):
        for name in TABLES:
            with self.subTest(table=name):
                path = os.path.join(self.python_run, name)
                table = aerial_host.read_table(path)
                self.assertEqual((len(table.x), len(table.y)), (64, 64))
                self.assertTrue(all(len(row) == 64 for row in table.rows))
                with open(path, "rb") as f:
                    self.assertEqual(table_text(table), f.read())

    def test_image_axes_are_positions(self):
        table = aerial_host.read_table(os.path.join(self.python_run, "OUT_M.xls"))
        self.assertEqual(table.x[32], 0.0)  # the grid centre c = N/2
        self.assertAlmostEqual(table.x[33] - table.x[32], 0.02)  # the sample pitch
        self.assertEqual(table.x, table.y)
        self.assertTrue(table.title.startswith("投影像光強度分布"))

    def test_script_runs_a_folder_and_reports_the_grid(self):
        folder = case_folder(self.work, "script")
        script = os.path.join(SOURCE, "examples", "python", "aerial_host.py")
        done = subprocess.run([sys.executable, script, "--library", LIBRARY, folder],
                              capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIn("64 x 64 intensities", done.stdout)
        missing = subprocess.run([sys.executable, script, "--library", LIBRARY, self.work],
                                 capture_output=True, text=True)
        self.assertEqual(missing.returncode, 2)
        self.assertIn("no IN_FM.txt", missing.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)
