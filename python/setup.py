"""Builds the tarnutil package by driving the project's CMake build.

Offline, into a virtual environment that sees Debian's NumPy:

    python3 -m venv --system-site-packages venv
    venv/bin/pip install --no-build-isolation --no-index ./python

The extension and the libtarnutil it links against are installed side by
side in the package, which finds the library through its $ORIGIN run path.
"""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
# Build products stay under the project's ignored build folder (or the one
# TARNUTIL_BUILD_ROOT names, as for scripts/check.sh), not beside the sources.
BUILD = Path(os.environ.get("TARNUTIL_BUILD_ROOT") or ROOT / "build").resolve() / "pip"


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(TarnUtil VERSION ([0-9.]+)", text).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_root = Path(self.get_ext_fullpath(ext.name)).resolve().parent.parent
        tree = BUILD / "cmake"
        jobs = os.environ.get("TARNUTIL_JOBS", "2")
        subprocess.check_call([
            "cmake", "-S", str(ROOT), "-B", str(tree), "-DCMAKE_BUILD_TYPE=Release",
            "-DTARNUTIL_BUILD_PYTHON=ON", "-DTARNUTIL_BUILD_TESTS=OFF", "-DTARNUTIL_INSTALL=OFF",
            "-DTARNUTIL_WERROR=OFF", f"-DPython3_EXECUTABLE={sys.executable}"])
        subprocess.check_call(["cmake", "--build", str(tree), "--target", "_tarnutil", "-j", jobs])
        subprocess.check_call(["cmake", "--install", str(tree), "--component", "python",
                               "--prefix", str(package_root)])


setup(
    name="tarnutil",
    version=project_version(),
    description="Exact planar geometry, clipping, geodesy and bitmaps on NumPy arrays",
    license="See LICENSE",
    packages=["tarnutil"],
    package_dir={"": str(HERE.relative_to(Path.cwd())) if HERE != Path.cwd() else "."},
    package_data={"tarnutil": ["__init__.pyi", "py.typed"]},
    ext_modules=[CMakeExtension("tarnutil._tarnutil")],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.9",
    install_requires=["numpy"],
    zip_safe=False,
    options={"build": {"build_base": str(BUILD / "setuptools")},
             "egg_info": {"egg_base": str(BUILD)}},
)
