"""Builds the extension with the project's own CMake build (Release, the extension alone) and puts
it beside the package's Python modules. Needs cmake, ninja, a C++17 compiler, pybind11-dev and
the host's header-only libraries (tools/setup.sh --python installs them); no package index."""
import os
import pathlib
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parent


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DKESTROL_BUILD_PYTHON=ON", "-DKESTROL_BUILD_TESTS=OFF", "-DKESTROL_BUILD_BENCHMARKS=OFF",
                        f"-DPython_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "_kestrol"], check=True)
        built = next((build / "python" / "kestrol").glob("_kestrol*" + os.path.splitext(self.get_ext_filename("x"))[1]))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)


setup(ext_modules=[Extension("kestrol._kestrol", sources=[])], cmdclass={"build_ext": CMakeBuild})
