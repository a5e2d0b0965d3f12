#!/usr/bin/env python3
"""Checks the version of built Windows files: the version resource, read back with wrestool
(Debian's icoutils), against the project version, and the Windows version each file declares
in its PE header against the oldest its imports run on (Vista, 6.0: GetTickCount64).

usage: check_version.py VERSION FILE... [--native KESTROL]
  VERSION   the CMake project version, MAJOR.MINOR.PATCH
  --native  a native kestrol whose --version must name the same version
"""
import struct
import subprocess
import sys
from pathlib import Path

OLDEST_WINDOWS = (6, 0)
FIXED_SIGNATURE = 0xFEEF04BD
FILE_TYPES = {".dll": 2, ".exe": 1}  # VFT_DLL, VFT_APP


def header_versions(data):
    """(operating system, subsystem) versions from the PE optional header, whose first 64
    bytes are laid out alike in PE32 and PE32+."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE file")
    optional = pe + 4 + 20
    os_major, os_minor, _, _, sub_major, sub_minor = struct.unpack_from("<6H", data, optional + 40)
    return (os_major, os_minor), (sub_major, sub_minor)


def read_node(blob, offset):
    """One VS_VERSIONINFO node: (key, value bytes or text, children), each node 32-bit aligned."""
    length, value_length, text = struct.unpack_from("<3H", blob, offset)
    end = offset + length
    key_end = offset + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[offset + 6:key_end].decode("utf-16-le")
    start = (key_end + 2 + 3) & ~3
    size = value_length * 2 if text else value_length
    value = blob[start:start + size]
    if text:
        value = value.decode("utf-16-le").rstrip("\0")
    children = []
    child = (start + size + 3) & ~3
    while child < end:
        node = read_node(blob, child)
        children.append(node[:3])
        child = (child + node[3] + 3) & ~3
    return key, value, children, length


def version_resource(path):
    blob = subprocess.run(["wrestool", "-x", "--raw", "--type=16", str(path)], capture_output=True, check=True).stdout
    if not blob:
        raise ValueError("no version resource (wrestool -l lists none)")
    key, fixed, children, _ = read_node(blob, 0)
    if key != "VS_VERSION_INFO" or len(fixed) != 52:
        raise ValueError(f"root node {key!r} with a {len(fixed)}-byte value")
    fields = struct.unpack("<13I", fixed)
    strings = {}
    for name, _, tables in children:
        if name == "StringFileInfo":
            for _, _, entries in tables:
                strings.update({entry: value for entry, value, _ in entries})
    return fields, strings


def check_file(path, version, numbers, failures):
    data = path.read_bytes()
    os_version, subsystem = header_versions(data)
    for what, found in (("operating system", os_version), ("subsystem", subsystem)):
        if found != OLDEST_WINDOWS:
            failures.append(f"{path.name}: {what} version {found[0]}.{found[1]}, expected {OLDEST_WINDOWS[0]}.{OLDEST_WINDOWS[1]}")
    print(f"  {path.name}: Windows {os_version[0]}.{os_version[1]}, subsystem {subsystem[0]}.{subsystem[1]}")
    fields, strings = version_resource(path)
    packed = ((numbers[0] << 16) | numbers[1], numbers[2] << 16)
    if fields[0] != FIXED_SIGNATURE:
        failures.append(f"{path.name}: fixed file info signature {fields[0]:#x}")
    for what, found in (("file", fields[2:4]), ("product", fields[4:6])):
        if tuple(found) != packed:
            shown = f"{found[0] >> 16}.{found[0] & 0xFFFF}.{found[1] >> 16}.{found[1] & 0xFFFF}"
            failures.append(f"{path.name}: fixed {what} version {shown}, expected {version}.0")
    if fields[9] != FILE_TYPES[path.suffix.lower()]:
        failures.append(f"{path.name}: file type {fields[9]}")
    expected = {"FileVersion": version, "ProductVersion": version, "OriginalFilename": path.name, "ProductName": "Kestrol"}
    for name, value in expected.items():
        if strings.get(name) != value:
            failures.append(f"{path.name}: {name} {strings.get(name)!r}, expected {value!r}")
    for name in ("FileDescription", "LegalCopyright"):
        if not strings.get(name):
            failures.append(f"{path.name}: no {name}")
    print(f"  {path.name}: {strings.get('FileVersion')} ({strings.get('FileDescription')})")


def main():
    args = sys.argv[1:]
    native = None
    if "--native" in args:
        at = args.index("--native")
        native = args[at + 1]
        del args[at:at + 2]
    if len(args) < 2:
        print(__doc__)
        return 2
    version, files = args[0], [Path(name) for name in args[1:]]
    numbers = [int(part) for part in version.split(".")]
    if len(numbers) != 3:
        print(f"FAIL version {version!r} is not MAJOR.MINOR.PATCH")
        return 1
    failures = []
    for path in files:
        try:
            check_file(path, version, numbers, failures)
        except (OSError, ValueError, struct.error, subprocess.CalledProcessError) as error:
            failures.append(f"{path.name}: {error}")
    if native:
        said = subprocess.run([native, "--version"], capture_output=True, text=True).stdout.split()
        if said[:2] != ["kestrol", version]:
            failures.append(f"{native} --version says {' '.join(said)!r}, expected kestrol {version}")
    for failure in failures:
        print("FAIL " + failure)
    print(f"versions: {len(files)} files read, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
