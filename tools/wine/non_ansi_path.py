#!/usr/bin/env python3
"""The server registered from a folder whose name lies outside the ANSI code page.

A copy of Kestrol.dll in C:\\Grüße_日本\\ is registered with regsvr32; the registry must then
hold that path exactly (read back from a Unicode export, not from text converted for the
console), and the C host must create the object through COM from there. Then the copy is
unregistered and removed. Works in 32- and 64-bit prefixes; Wine must be set up by the caller.

As a step:  check_non_ansi_path(build_dir, registry_view, check)  with check(name, ok, detail)
Alone:      non_ansi_path.py WINDOWS_BUILD_DIR [32|64]
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

CLASS_KEY = "CLSID\\{81768304-E824-4BA0-82EC-74FD36246BC7}"
FOLDER = "Grüße_日本"  # German letters in the ANSI code page, Japanese ones outside it
# Wine reads the names it is given in the Unix locale's character set: UTF-8 for all of them.
ENVIRONMENT = dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8")


def _wine(*args):
    return subprocess.run([os.environ.get("KESTROL_WINE", "wine"), *args], capture_output=True, text=True, errors="replace", env=ENVIRONMENT)


def _drive_c():
    prefix = os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")
    return pathlib.Path(prefix) / "drive_c"


def _registered_path(registry_view):
    """The default value of InprocServer32 as the registry holds it, or a note why it is unknown."""
    with tempfile.TemporaryDirectory() as work:
        exported = pathlib.Path(work) / "server.reg"
        result = _wine("reg", "export", "HKCR\\" + CLASS_KEY + "\\InprocServer32", str(exported), "/y", registry_view)
        if result.returncode != 0 or not exported.exists():
            return f"<reg export exited {result.returncode}: {result.stderr.strip()[:200]}>"
        text = exported.read_bytes().decode("utf-16")  # a Unicode export: UTF-16 with its mark
    for line in text.splitlines():
        if line.startswith("@="):
            # A string value: "..." with backslashes and quotes escaped.
            return line[2:].strip().strip('"').replace('\\\\', '\\').replace('\\"', '"')
    return "<no default value>"


def check_non_ansi_path(build, registry_view, check):
    build = pathlib.Path(build)
    folder = _drive_c() / FOLDER
    folder.mkdir(exist_ok=True)
    try:
        shutil.copy2(build / "Kestrol.dll", folder / "Kestrol.dll")
        windows_dll = "C:\\" + FOLDER + "\\Kestrol.dll"
        result = _wine("regsvr32", "/s", windows_dll)
        check("NonAnsiPath: regsvr32 succeeds", result.returncode == 0, f"exit {result.returncode}")
        registered = _registered_path(registry_view)
        check("NonAnsiPath: InprocServer32 holds the path exactly", registered == windows_dll,
              f"{registered!r} vs {windows_dll!r}")
        host = _wine(str(build / "com_host.exe"), "0", "VapourMassFlow=5000", "VapourDensity=10",
                     "LightLiquidMassFlow=10000", "LightLiquidDensity=800", "Pressure=1000", "Temperature=40",
                     "AuxiliaryValue1=1")
        check("NonAnsiPath: the C host creates and sizes the object from there",
              host.returncode == 0 and "create 0x00000000" in host.stdout and "calculate 0x00000000" in host.stdout,
              f"exit {host.returncode}: {host.stdout[-300:]!r}")
        result = _wine("regsvr32", "/u", "/s", windows_dll)
        check("NonAnsiPath: regsvr32 /u succeeds", result.returncode == 0, f"exit {result.returncode}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    failures = []

    def check(name, ok, detail=""):
        print(f"  {'ok  ' if ok else 'FAIL'}  {name}" + ("" if ok else f": {detail}"))
        if not ok:
            failures.append(name)

    view = "/reg:" + (sys.argv[2] if len(sys.argv) > 2 else "32")
    check_non_ansi_path(sys.argv[1], view, check)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
