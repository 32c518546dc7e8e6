"""Builds the extension module with the project's own CMake build (the target aerial_python),
so that pip and CMake compile the same sources with the same flags. The project's version
comes from its CMakeLists.txt, the one place that states it."""
import glob
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def project_version():
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(aerial VERSION ([0-9.]+)", f.read()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = os.path.abspath(self.get_ext_fullpath(ext.name))
        build = os.path.join(os.path.abspath(self.build_temp), "cmake")
        subprocess.check_call([
            "cmake", "-S", ROOT, "-B", build, "-DCMAKE_BUILD_TYPE=Release",
            "-DAERIAL_BUILD_TESTS=OFF", "-DAERIAL_BUILD_TOOL=OFF", "-DAERIAL_BUILD_PYTHON=ON",
            "-DPython3_EXECUTABLE=" + sys.executable])
        subprocess.check_call(["cmake", "--build", build, "--target", "aerial_python",
                               "-j", str(os.cpu_count() or 2)])
        built = glob.glob(os.path.join(build, "python", "aerial*.so"))
        if len(built) != 1:
            raise RuntimeError("the CMake build left %d modules in %s/python" % (len(built), build))
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(built[0], target)


setup(version=project_version(), ext_modules=[Extension("aerial", sources=[])],
      cmdclass={"build_ext": CMakeBuild}, zip_safe=False)
