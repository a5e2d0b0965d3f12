#!/usr/bin/env python3
"""End-to-end check of the Windows server under Wine, the way a host meets it.

Registers Kestrol.dll with regsvr32, reads the registry back with reg, drives the object from
the example hosts of examples/host/ (C and C++) through CLSIDFromProgID and CoCreateInstance,
compares the vectors with the native build's for the same inputs, plays the example scripts through kestrol.exe, unregisters, and
registers a copy from a folder named outside the ANSI code page (non_ansi_path.py), then the
automation server KestrolAutomation.dll from VBScript, JScript and a C host through IDispatch
(automation.py).
Wine must be set up by the caller (WINEPREFIX pointing at a throwaway prefix); KESTROL_WINE
names the loader to start programs with (default: Debian's wrapper, wine).

usage: end_to_end.py WINDOWS_BUILD_DIR NATIVE_KESTROL [32|64]
The last argument is the server's bitness (default 32): it chooses the registry view that reg
reads, as a 32-bit server's class key lives in the 32-bit view of a 64-bit system.
"""
import json
import math
import os
import pathlib
import re
import struct
import subprocess
import sys
import tempfile

from automation import check_automation
from non_ansi_path import check_non_ansi_path

CLASS_ID = "{81768304-E824-4BA0-82EC-74FD36246BC7}"
CLASS_KEY = "CLSID\\" + CLASS_ID
DESCRIPTION = "Quorvanix Separator Sizing COM Module"
PROGID = "Quorvanix.SeparatorSizing"
PROGID_VERSIONED = "Quorvanix.SeparatorSizing.1"
TREES = [CLASS_KEY, PROGID, PROGID_VERSIONED]
EMPTY = -32767.0
RELATIVE_TOLERANCE = 1e-12

TWO_PHASE = {"VapourMassFlow": 5000.0, "VapourDensity": 10.0, "LightLiquidMassFlow": 10000.0,
             "LightLiquidDensity": 800.0, "Pressure": 1000.0, "Temperature": 40.0, "AuxiliaryValue1": 1.0}
THREE_PHASE = {"VapourMassFlow": 5000.0, "VapourDensity": 12.0, "LightLiquidMassFlow": 8000.0,
               "LightLiquidDensity": 780.0, "HeavyLiquidMassFlow": 3000.0, "HeavyLiquidDensity": 1010.0,
               "Pressure": 2500.0, "Temperature": 30.0, "AuxiliaryValue1": 1.0}
NO_LIQUID = {"VapourMassFlow": 1000.0, "VapourDensity": 10.0, "Pressure": 1000.0, "Temperature": 40.0,
             "AuxiliaryValue1": 1.0}
# A liquid density of 0 divides by zero inside Calculate: a trap if the host's mask were kept.
ZERO_DENSITY = dict(TWO_PHASE, LightLiquidDensity=0.0)
CALLBACK = {"0": 5.0, "1": 800.0}
# What the C++ host sizes: the README's compressor suction scrubber, vertical.
SCRUBBER = {"Pressure": 3500.0, "Temperature": 35.0, "VapourMassFlow": 60000.0, "VapourDensity": 28.0,
            "LightLiquidMassFlow": 1500.0, "LightLiquidDensity": 720.0, "AuxiliaryValue1": 1.0}

# name, inputs, orientation, unmask floating-point exceptions first
CASES = [
    ("TwoPhaseVertical", TWO_PHASE, 0, False),
    ("TwoPhaseHorizontal", TWO_PHASE, 1, False),
    ("ThreePhaseVertical", THREE_PHASE, 0, False),
    ("ThreePhaseHorizontal", THREE_PHASE, 1, False),
    ("NoLiquidVertical", NO_LIQUID, 0, False),
    ("NoLiquidHorizontal", NO_LIQUID, 1, False),
    ("UnmaskedThreePhaseVertical", THREE_PHASE, 0, True),
    ("UnmaskedTwoPhaseHorizontal", TWO_PHASE, 1, True),
    ("UnmaskedDivisionByZero", ZERO_DENSITY, 0, True),
]

passed = 0
failed = 0
registry_view = "/reg:32"
# Where the kernel runs no 32-bit programs, the 64-bit loader itself, not the wrapper.
WINE_LOADER = os.environ.get("KESTROL_WINE", "wine")


def check(name, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
        print(f"  ok    {name}")
    else:
        failed += 1
        print(f"  FAIL  {name}: {detail}")


def wine(*args, check_rc=False, cwd=None):
    result = subprocess.run([WINE_LOADER, *args], capture_output=True, text=True, errors="replace", cwd=cwd)
    if check_rc and result.returncode != 0:
        raise RuntimeError(f"{WINE_LOADER} {' '.join(args)} exited {result.returncode}: {result.stderr.strip()}")
    return result


def windows_path(path):
    return wine("winepath", "-w", str(path), check_rc=True).stdout.strip()


def reg(*args, check_rc=False):
    return wine("reg", *args, registry_view, check_rc=check_rc)


def read_tree(tree):
    """Every key below HKCR\\tree with its values: {path: {value name: (type, data)}}; None if absent."""
    result = reg("query", "HKCR\\" + tree, "/s")
    if result.returncode != 0:
        return None
    keys = {}
    current = None
    for line in result.stdout.splitlines():
        if line.startswith("HKEY_CLASSES_ROOT\\"):
            current = line[len("HKEY_CLASSES_ROOT\\"):].strip()
            keys[current] = {}
        elif line.strip() and current is not None:
            match = re.match(r"\s+(.*?)\s+(REG_\w+)\s+(.*)$", line)
            if match:
                keys[current][match.group(1)] = (match.group(2), match.group(3))
    return keys


def registered_keys():
    keys = {}
    for tree in TREES:
        keys.update(read_tree(tree) or {})
    return keys


def bits(value):
    return struct.pack("<d", value)


def agree(a, b):
    if math.isnan(a) or math.isnan(b):
        return math.isnan(a) and math.isnan(b)
    return a == b or abs(a - b) <= RELATIVE_TOLERANCE * max(abs(a), abs(b))


def native_run(kestrol, script):
    with tempfile.NamedTemporaryFile("w", suffix=".json", delete=False) as file:
        json.dump(script, file)
    try:
        out = subprocess.run([kestrol, "run", file.name], capture_output=True, text=True, check=True).stdout
    finally:
        os.unlink(file.name)
    return json.loads(out)


def as_double(value):
    return {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}.get(value, value)


def host_run(*args):
    """Runs an example host; its facts by first word, its slots by number (the C host prints
    them in hexadecimal, the C++ host in 17 significant digits)."""
    result = wine(*args)
    facts = {"slots": {}, "rc": result.returncode, "stdout": result.stdout}
    for line in result.stdout.splitlines():
        parts = line.split()
        if parts and parts[0] == "slot":
            text = parts[2]
            facts["slots"][int(parts[1])] = float.fromhex(text) if "0x" in text.lower() else float(text)
        elif len(parts) >= 2:
            facts[parts[0]] = parts[1]
    return facts


def com_host_run(build, inputs, orientation, unmask):
    args = [str(build / "com_host.exe")] + (["--unmask"] if unmask else []) + [str(orientation)]
    args += [f"{name}={value!r}" for name, value in inputs.items()]
    args += [f"callback{code}={value!r}" for code, value in CALLBACK.items()]
    return host_run(*args)


def compare_slots(name, host, native):
    """One check over the 39 slots; (compared, bit-identical)."""
    vector = [as_double(v) for v in native["vector"]]
    disagreements = []
    compared = identical = 0
    for slot in range(1, 40):
        mine, theirs = host["slots"].get(slot), vector[slot - 1]
        if mine is None or not agree(mine, theirs):
            disagreements.append(f"slot {slot}: {mine!r} vs native {theirs!r}")
        else:
            compared += 1
            identical += bits(mine) == bits(theirs)
    filled = sum(1 for v in vector if v != EMPTY)
    check(f"{name}: 39 slots agree with the native build ({filled} filled)", not disagreements,
          "; ".join(disagreements[:5]))
    return compared, identical


def main():
    global registry_view
    if len(sys.argv) > 3:
        registry_view = "/reg:" + sys.argv[3]
    build = pathlib.Path(sys.argv[1]).resolve()
    kestrol = str(pathlib.Path(sys.argv[2]).resolve())
    dll = build / "Kestrol.dll"

    print("wine: regsvr32 Kestrol.dll")
    for tree in TREES:
        reg("delete", "HKCR\\" + tree, "/f")
    result = wine("regsvr32", "/s", str(dll))
    check("RegisterServerSucceeds", result.returncode == 0, f"exit {result.returncode}")
    module_path = windows_path(dll)
    expected = {
        CLASS_KEY: DESCRIPTION,
        CLASS_KEY + "\\InprocServer32": module_path,
        CLASS_KEY + "\\ProgID": PROGID_VERSIONED,
        CLASS_KEY + "\\VersionIndependentProgID": PROGID,
        PROGID: DESCRIPTION,
        PROGID + "\\CLSID": CLASS_ID,
        PROGID + "\\CurVer": PROGID_VERSIONED,
        PROGID_VERSIONED: DESCRIPTION,
        PROGID_VERSIONED + "\\CLSID": CLASS_ID,
    }
    keys = registered_keys()
    found = {path.lower(): values for path, values in keys.items()}
    for path, text in expected.items():
        values = found.get(path.lower())
        check(f"Key {path}", values == {"(Default)": ("REG_SZ", text)}, f"found {values}")
    check("ExactlyNineKeys", len(keys) == 9, f"{len(keys)} keys: {sorted(keys)}")

    print("wine: a C host through CLSIDFromProgID and CoCreateInstance")
    compared = identical = 0
    for name, inputs, orientation, unmask in CASES:
        script = {"inputs": inputs, "callback": CALLBACK, "calls": [["SetOrientation", orientation], ["Calculate"]]}
        native = native_run(kestrol, script)
        host = com_host_run(build, inputs, orientation, unmask)
        steps_ok = (host["rc"] == 0 and host.get("progid") == "0x00000000" and host.get("clsid") == "OK"
                    and host.get("create") == "0x00000000" and host.get("fpu-control") == "kept"
                    and host.get("unload-while-alive") == "0x00000001"
                    and host.get("unload-after-release") == "0x00000000")
        check(f"{name}: activation, unload answers and floating-point state", steps_ok, host["stdout"][-600:])
        native_hr = f"0x{native['results'][1]:08X}"
        check(f"{name}: Calculate result {native_hr}", host.get("calculate") == native_hr, host.get("calculate"))
        agreed, same = compare_slots(name, host, native)
        compared += agreed
        identical += same
    print(f"  slots compared: {compared}, bit-identical: {identical}")

    print("wine: the C++ host, through IID_PPV_ARGS, on the README's scrubber")
    native = native_run(kestrol, {"inputs": SCRUBBER, "calls": [["SetOrientation", 0], ["Calculate"]]})
    host = host_run(str(build / "com_host_cpp.exe"))
    check("C++ host: ProgID, creation and exit status",
          host["rc"] == 0 and host.get("progid") == "0x00000000" and host.get("create") == "0x00000000",
          host["stdout"][-600:])
    native_hr = f"0x{native['results'][1]:08X}"
    check(f"C++ host: Calculate result {native_hr}", host.get("calculate") == native_hr, host.get("calculate"))
    compared, identical = compare_slots("C++ host", host, native)
    print(f"  slots compared: {compared}, bit-identical: {identical}")
    # The same server in the same kind of process: the two hosts' numbers must be the same bits,
    # whatever the tolerance above lets through (a digit lost in printing, say).
    c_host = host_run(str(build / "com_host.exe"), "0", *[f"{name}={value!r}" for name, value in SCRUBBER.items()])
    differing = [slot for slot in range(1, 40)
                 if slot not in host["slots"] or slot not in c_host["slots"]
                 or bits(host["slots"][slot]) != bits(c_host["slots"][slot])]
    check("C++ host: 39 slots bit-identical to the C host's", c_host["rc"] == 0 and not differing,
          f"C host exit {c_host['rc']}; slots {differing[:10]}")

    print("wine: kestrol.exe plays the example scripts as the native host does")
    repo = pathlib.Path(__file__).resolve().parents[2]
    for script in sorted((repo / "examples" / "scripts").glob("*.json")):
        native = subprocess.run([kestrol, "run", str(script)], capture_output=True, text=True).stdout
        # Relative: a leading slash would read as a Windows-style option.
        relative = script.relative_to(repo).as_posix()
        windows = wine(str(build / "host" / "kestrol.exe"), "run", relative, cwd=repo).stdout.replace("\r\n", "\n")
        check(f"kestrol.exe {script.name}", windows.strip() == native.strip() and native.strip() != "",
              f"{windows[:200]!r} vs {native[:200]!r}")

    print("wine: regsvr32 /u with subkeys the registration did not write")
    for extra in [CLASS_KEY + "\\Implemented Categories\\{00000000-0000-0000-0000-000000000000}",
                  PROGID + "\\shell\\open\\command", PROGID_VERSIONED + "\\Extra\\Deeper"]:
        reg("add", "HKCR\\" + extra, "/f", check_rc=True)
    neighbour = "Quorvanix.SeparatorSizingX"
    reg("add", "HKCR\\" + neighbour, "/f", check_rc=True)
    result = wine("regsvr32", "/u", "/s", str(dll))
    check("UnregisterServerSucceeds", result.returncode == 0, f"exit {result.returncode}")
    for tree in TREES:
        check(f"Removed {tree}", read_tree(tree) is None, "still there")
    check("NeighbourKept", read_tree(neighbour) is not None, "removed")
    reg("delete", "HKCR\\" + neighbour, "/f")
    result = wine("regsvr32", "/u", "/s", str(dll))
    check("UnregisterWhenNothingIsRegistered", result.returncode == 0, f"exit {result.returncode}")

    print("wine: registered from a folder named outside the ANSI code page")
    check_non_ansi_path(build, registry_view, check)

    check_automation(build, kestrol, registry_view, check, wine, windows_path, read_tree)

    print(f"wine: {passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
