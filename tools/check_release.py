#!/usr/bin/env python3
"""Checks a release archive made by CPack against the source tree it was packed from: one
top folder named after the version and the build, the programs, the header, every document
and example input, nothing else; then unpacks it.

usage: check_release.py ARCHIVE VERSION SYSTEM INTO
  SYSTEM  linux (a .tar.gz in the prefix layout) or windows (a .zip, the programs at the top)
"""
import sys
import tarfile
import zipfile
from pathlib import Path

SOURCE = Path(__file__).resolve().parent.parent
EXAMPLE_FOLDERS = ("cases", "batch", "scripts", "host", "automation")


def expected_members(system):
    doc = "" if system == "windows" else "share/doc/kestrol/"
    names = {f"{doc}README.md", f"{doc}LICENSE", f"{doc}CHANGELOG.md", "include/kestrol/kestrol.h"}
    names |= {"Kestrol.dll", "KestrolAutomation.dll", "kestrol.exe"} if system == "windows" else {"bin/kestrol"}
    for path in (SOURCE / "docs").rglob("*"):
        if path.is_file():
            names.add(f"{doc}docs/{path.relative_to(SOURCE / 'docs').as_posix()}")
    for folder in EXAMPLE_FOLDERS:
        for path in (SOURCE / "examples" / folder).rglob("*"):
            if path.is_file() and "__pycache__" not in path.parts:
                names.add(f"{doc}examples/{path.relative_to(SOURCE / 'examples').as_posix()}")
    return names


def main():
    if len(sys.argv) != 5 or sys.argv[3] not in ("linux", "windows"):
        print(__doc__)
        return 2
    archive, version, system, into = Path(sys.argv[1]), sys.argv[2], sys.argv[3], Path(sys.argv[4])
    if system == "windows":
        with zipfile.ZipFile(archive) as pack:
            members = [name for name in pack.namelist() if not name.endswith("/")]
            pack.extractall(into)
    else:
        with tarfile.open(archive) as pack:
            members = [member.name for member in pack.getmembers() if member.isfile()]
            # The data filter, where this Python has it, refuses links and paths out of INTO.
            pack.extractall(into, **({"filter": "data"} if hasattr(tarfile, "data_filter") else {}))
    top = archive.name.removesuffix(".zip").removesuffix(".tar.gz")
    failures = []
    if not top.startswith(f"kestrol-{version}-"):
        failures.append(f"archive {archive.name} does not name version {version}")
    outside = [name for name in members if not name.startswith(top + "/")]
    if outside:
        failures.append(f"outside the folder {top}/: {outside[:5]}")
    found = {name.removeprefix(top + "/") for name in members}
    expected = expected_members(system)
    if expected - found:
        failures.append(f"missing: {sorted(expected - found)}")
    if found - expected:
        failures.append(f"not part of a release: {sorted(found - expected)}")
    for failure in failures:
        print("FAIL " + failure)
    print(f"{archive.name}: {len(found)} files, {len(expected)} expected, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
