#!/usr/bin/env python3
"""Checks the export table of a built Kestrol.dll: exactly the four exports, by name, with
ordinals 2 to 5, and no import beyond the system's own DLLs.

usage: check_exports.py OBJDUMP KESTROL_DLL
"""
import re
import subprocess
import sys

EXPECTED = {"DllGetClassObject": 2, "DllCanUnloadNow": 3, "DllRegisterServer": 4, "DllUnregisterServer": 5}
SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "ole32.dll", "msvcrt.dll", "user32.dll", "oleaut32.dll"}


def main():
    objdump, dll = sys.argv[1], sys.argv[2]
    text = subprocess.run([objdump, "-p", dll], capture_output=True, text=True, check=True).stdout
    base = int(re.search(r"Ordinal Base\s+(\d+)", text).group(1))
    section = text.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    exports = {}
    for line in section.splitlines():
        # "[   1] Name" (index into the address table) or "[   1] +base[   3]  0001 Name"
        match = re.match(r"\s*\[\s*(\d+)\]\s+(?:\+base\[\s*(\d+)\]\s+\S+\s+)?(\S+)\s*$", line)
        if match:
            ordinal = int(match.group(2)) if match.group(2) else int(match.group(1)) + base
            exports[match.group(3)] = ordinal
    imports = {name.lower() for name in re.findall(r"DLL Name: (\S+)", text)}
    failures = []
    if exports != EXPECTED:
        failures.append(f"exports {exports}, expected {EXPECTED}")
    if not imports or not imports <= SYSTEM_DLLS:
        failures.append(f"imports beyond the system DLLs: {sorted(imports - SYSTEM_DLLS)}")
    for name, ordinal in sorted(exports.items(), key=lambda item: item[1]):
        print(f"  @{ordinal} {name}")
    print(f"  imports: {', '.join(sorted(imports))}")
    for failure in failures:
        print("FAIL " + failure)
    print(f"exports: {2 - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
