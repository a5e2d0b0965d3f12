#!/usr/bin/env python3
"""Compiles translation units that include the public header under the oldest C and C++
standards it promises (C89, C++98) and the project's own (C++17), with pedantic errors.

    header_standards_test.py ROOT CC CXX

Natively the header sits over the COM types of tests/header_check/platform/ (plain C89 and
C++98) or, for C++17, over the project's stand-in. With mingw-w64 on PATH it is compiled over
the real SDK too, and the example hosts that run under Wine are built: examples/host/host.cpp,
whose IID_PPV_ARGS links only when the header gives the interface its __uuidof, as C++98 and
C++17, and examples/host/host.c as CMake builds it.
"""
import pathlib
import shutil
import subprocess
import sys
import tempfile

STRICT = ["-pedantic-errors", "-Wall", "-Wextra", "-Werror"]


def cases(root, cc, cxx, out):
    here = root / "tests" / "header_check"
    shim = ["-I", str(here), "-I", str(root / "include")]
    standin = ["-I", str(root), "-I", str(root / "include")]
    c_unit, cxx_unit = str(here / "use_header.c"), str(here / "use_header.cpp")
    # (what, command, must compile)
    rows = [
        ("C89 natively", [cc, "-std=c89", *STRICT, *shim, "-fsyntax-only", c_unit], True),
        ("C99 natively", [cc, "-std=c99", *STRICT, *shim, "-fsyntax-only", c_unit], True),
        ("C++98 natively", [cxx, "-std=c++98", *STRICT, *shim, "-fsyntax-only", cxx_unit], True),
        ("C++17 over the stand-in", [cxx, "-std=c++17", *STRICT, *standin, "-fsyntax-only", cxx_unit], True),
        # The flags would let the old fault through if C++98 took constexpr.
        ("C++98 refuses constexpr", [cxx, "-std=c++98", *STRICT, "-fsyntax-only", "-x", "c++", "-"], False),
    ]
    for arch in ("x86_64", "i686"):
        mingw_cc, mingw_cxx = f"{arch}-w64-mingw32-gcc", f"{arch}-w64-mingw32-g++"
        if shutil.which(mingw_cc) is None or shutil.which(mingw_cxx) is None:
            print(f"skipped: {arch} mingw-w64 is not installed")
            continue
        sdk = ["-I", str(root / "include")]
        examples = root / "examples" / "host"
        target = ["-msse2", "-mfpmath=sse"] if arch == "i686" else []  # as CMakeLists.txt builds 32-bit
        com = ["-lole32", "-luuid"]
        for std in ("c89", "c99"):
            rows.append((f"{arch} mingw {std}", [mingw_cc, f"-std={std}", *STRICT, *sdk, "-fsyntax-only", c_unit], True))
        for std in ("c++98", "c++17"):
            rows.append((f"{arch} mingw {std}", [mingw_cxx, f"-std={std}", *STRICT, *sdk, "-fsyntax-only", cxx_unit], True))
            exe = out / f"com_host_{arch}_{std}.exe"
            rows.append((f"{arch} mingw {std}: examples/host/host.cpp links through IID_PPV_ARGS",
                         [mingw_cxx, f"-std={std}", *STRICT, "-Wshadow", *target, *sdk, str(examples / "host.cpp"),
                          "-o", str(exe), *com], True))
        # examples/host/host.c with the flags CMakeLists.txt gives it.
        rows.append((f"{arch} mingw: examples/host/host.c",
                     [mingw_cc, "-std=c99", *target, "-Wall", "-Wextra", "-Wpedantic", "-Wshadow", "-Werror", *sdk,
                      str(examples / "host.c"), "-o", str(out / f"com_host_c_{arch}.exe"), *com], True))
    return rows


def main():
    root, cc, cxx = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
    failures = 0
    with tempfile.TemporaryDirectory(prefix="kestrol-header-") as out:
        for what, command, must_compile in cases(root, cc, cxx, pathlib.Path(out)):
            stdin = "constexpr double x = 1.0;\n" if command[-1] == "-" else None
            run = subprocess.run(command, input=stdin, capture_output=True, text=True)
            compiled = run.returncode == 0
            if compiled == must_compile:
                print(f"ok: {what}")
            else:
                failures += 1
                print(f"FAILED: {what}: {'compiled' if compiled else 'did not compile'}\n  {' '.join(command)}")
                print(run.stderr[-4000:])
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
