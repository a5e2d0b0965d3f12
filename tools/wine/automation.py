"""The automation server KestrolAutomation.dll under Wine, the way scripts and spreadsheets meet it.

Registers it with regsvr32 and reads its keys back; sizes every bundled example case from
VBScript and JScript under cscript, through Value (SetInput) and through LoadCase, and compares
each Json with the native `kestrol size --format json` number for number; checks each refusal's
Err.Description against the native command line's sentence; drives it from a C host through
IDispatch alone, whose Doubles must be the very bits the server's own Json holds; and
unregisters it, after which no key of it may be left. Called by end_to_end.py.
"""
import json
import math
import os
import pathlib
import struct
import subprocess
import tempfile

CLASS_ID = "{B68B2CF4-FBED-4F36-8208-313474B66EF3}"
LIBRARY_ID = "{1FC6D383-78D8-4608-95C7-2B7A80B338E6}"
INTERFACE_ID = "{4DC285A6-828E-44A7-BE04-AF228ECE21D2}"
PROGID = "Kestrol.Sizing"
TREES = ["CLSID\\" + CLASS_ID, PROGID, PROGID + ".1", "Interface\\" + INTERFACE_ID, "TypeLib\\" + LIBRARY_ID]
RELATIVE_TOLERANCE = 1e-12
NON_ANSI_FOLDER = "Grüße_日本"  # German letters in the ANSI code page, Japanese ones outside it
# 2026-01-15, any fixed day: the date both builds' datasheets carry.
DATASHEET_EPOCH = "1768435200"
REPO = pathlib.Path(__file__).resolve().parents[2]
# Keys whose values are words; the rest are numbers.
# The case the scripts cannot size: a flow parameter below the gas-load correlation's range.
NOT_SIZED = {"name": "Dry gas, too little liquid", "pressure_kPa": 3500, "temperature_C": 35,
             "vapour_mass_flow_kg_h": 100000, "vapour_density_kg_m3": 1,
             "light_liquid_mass_flow_kg_h": 1, "light_liquid_density_kg_m3": 1000}


def bits(value):
    return struct.pack("<d", value)


def flat_case(case):
    """The case file's keys with the design block flat, as a CSV header names them."""
    flat = {k: v for k, v in case.items() if k != "design"}
    flat.update(case.get("design", {}))
    return flat


def compare_documents(mine, native, path=""):
    """Differences between two JSON documents, numbers within the tolerance; (differences,
    numbers compared, numbers bit-identical). The source names differ by route and are skipped."""
    if isinstance(native, dict) and isinstance(mine, dict):
        out = ([f"{path}: keys {sorted(set(mine) ^ set(native))}"] if set(mine) != set(native) else [], 0, 0)
        for key in native:
            if key == "source" and path == "" or key not in mine:
                continue
            d, n, same = compare_documents(mine[key], native[key], f"{path}.{key}")
            out = (out[0] + d, out[1] + n, out[2] + same)
        return out
    if isinstance(native, list) and isinstance(mine, list):
        out = ([f"{path}: {len(mine)} items, native {len(native)}"] if len(mine) != len(native) else [], 0, 0)
        for i, (a, b) in enumerate(zip(mine, native)):
            d, n, same = compare_documents(a, b, f"{path}[{i}]")
            out = (out[0] + d, out[1] + n, out[2] + same)
        return out
    numbers = (int, float)
    if isinstance(native, numbers) and not isinstance(native, bool) and isinstance(mine, numbers) and not isinstance(mine, bool):
        a, b = float(mine), float(native)
        close = a == b or abs(a - b) <= RELATIVE_TOLERANCE * max(abs(a), abs(b))
        return ([] if close else [f"{path}: {mine!r} vs native {native!r}"], 1, int(bits(a) == bits(b)))
    return ([] if mine == native else [f"{path}: {mine!r} vs native {native!r}"], 0, 0)


def native_size(kestrol, case, name="case.json"):
    """`kestrol size --format json` of a case given as a mapping: (exit status, document, stderr)."""
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder) / name
        path.write_text(json.dumps(case, indent=2))
        result = subprocess.run([kestrol, "size", str(path), "--format", "json"], capture_output=True, text=True)
    return result.returncode, json.loads(result.stdout), result.stderr.strip()


def native_sentence(kestrol, case):
    """The command line's sentence for a refused case, without the file and place before the key."""
    _, document, _ = native_size(kestrol, case)
    error = document["error"]
    return f"{error['key']}: {error['message']}" if error["key"] else error["message"]


def native_datasheet(kestrol, path, folder):
    """`kestrol size CASE --datasheet FILE` of a bundled case, from the repository as the scripts
    load it: (the file's bytes, the inside diameter as the text report prints it); None unsized."""
    relative = path.relative_to(REPO).as_posix()
    sheet = folder / f"native-{path.stem}.html"
    result = subprocess.run([kestrol, "size", relative, "--datasheet", str(sheet)], capture_output=True, text=True, cwd=REPO)
    if not sheet.exists():
        return None
    line = next(line for line in result.stdout.split("\n") if line.strip().startswith("Inside diameter"))
    return sheet.read_bytes(), line.split()[2]


def check_datasheet_outside_ansi(folder, native, check, windows_path):
    """Datasheet(path) into a folder named outside the ANSI code page: through the wide file calls."""
    print("wine: Datasheet(path) into a folder named outside the ANSI code page")
    (folder / NON_ANSI_FOLDER).mkdir()
    sheet = folder / NON_ANSI_FOLDER / "datasheet.html"
    target = windows_path(folder) + "\\" + NON_ANSI_FOLDER + "\\datasheet.html"
    # Wine reads the names it is given in the Unix locale's character set.
    run = subprocess.run([os.environ.get("KESTROL_WINE", "wine"), "cscript", "//nologo", "tools/wine/automation_test.vbs",
                          "examples/cases/gas_scrubber_vertical.json", "datasheet=" + target], capture_output=True, text=True,
                         errors="replace", cwd=REPO, env=dict(os.environ, LANG="C.UTF-8", LC_ALL="C.UTF-8"))
    written = sheet.read_bytes() if sheet.exists() else b""
    check("Datasheet(path) writes the sheet to a path outside the ANSI code page", written == native[0],
          f"{len(written)} bytes vs {len(native[0])}: {run.stdout[-200:]!r} {run.stderr[-200:]!r}")


def parse_script_output(text):
    """The facts a test script printed: by first word, the JSON documents by route."""
    facts, documents, route, lines = {}, {}, None, text.replace("\r\n", "\n").split("\n")
    i = 0
    while i < len(lines):
        line = lines[i]
        word, _, rest = line.partition(" ")
        if word == "route":
            route = rest
        elif line == "json":
            end = lines.index("end", i)
            documents[route] = json.loads("\n".join(lines[i + 1:end]))
            i = end
        elif word:
            facts[(route, word) if word in ("sized", "status", "message") else word] = rest
            if word in ("error", "value", "value-null", "finding"):
                key, _, value = rest.partition(" ")
                facts[(word, key)] = value
        i += 1
    return facts, documents


def check_dispatch_host(build, scrubber, document, check, wine):
    print("wine: a C host through IDispatch alone")
    names = ["inside_diameter_m", "overall_length_m_used", "total_cost_USD",
             "vessel_weight_kg", "heavy_liquid_level_m_used", "orientation_used"]
    run = wine(str(build / "dispatch_host.exe"), scrubber.relative_to(REPO).as_posix(), *names, cwd=REPO)
    text = run.stdout.replace("\r\n", "\n")
    lines = text.split("\n")
    results = {parts[1]: parts[2:] for parts in (line.split(" ") for line in lines) if parts[0] == "result"}
    slots = {int(parts[1]): float.fromhex(parts[2]) for parts in (line.split(" ") for line in lines) if parts[0] == "slot"}
    own = json.loads(text[text.index("\njson\n") + 6:text.index("\nrelease ")]) if "\njson\n" in text else None
    check("IDispatch host: created, sized, released", run.returncode == 0 and "create 0x00000000" in lines
          and "sized -1" in lines and "release 0" in lines and own is not None, text[-400:])
    if own is not None:
        pairs = [("inside_diameter_m", own["vessel"]["inside_diameter"]["value"], 1),
                 ("overall_length_m_used", own["vessel"]["overall_length"]["value"], 2),
                 ("total_cost_USD", own["cost"]["total_cost"]["value"], None),
                 ("vessel_weight_kg", own["mechanical"]["vessel_weight"]["value"], None)]
        differing = []
        for name, value, slot in pairs:
            got = results.get(name, ["missing"])
            mine = float.fromhex(got[0]) if got and got[0] not in ("null", "missing", "text") else None
            if mine is None or bits(mine) != bits(float(value)):
                differing.append(f"{name}: {got} vs Json {value!r}")
            if slot is not None and (slot not in slots or bits(abs(slots[slot])) != bits(float(value))):
                differing.append(f"slot {slot}: {slots.get(slot)!r} vs Json {value!r}")
        check("IDispatch host: Result and GetValue Doubles are the Json's bits", not differing, "; ".join(differing))
        differences, n, same = compare_documents(own, document)
        check(f"IDispatch host: its Json agrees with kestrol size ({same} of {n} numbers bit-identical)",
              not differences, "; ".join(differences[:4]))
    check("IDispatch host: Null and text results", results.get("heavy_liquid_level_m_used") == ["null"]
          and results.get("orientation_used") == ["text", "vertical"], str(results))
    check("IDispatch host: refusals come back as DISP_E_EXCEPTION with the sentence",
          any(line.startswith("error Value 0x80040301 vapor_mass_flow_kg_h: unknown key") for line in lines)
          and "error GetValue 0x80040301 no slot 40: slots count from 1 to 39" in lines, text[-600:])



def check_automation(build, kestrol, registry_view, check, wine, windows_path, read_tree):
    dll = build / "KestrolAutomation.dll"
    print("wine: regsvr32 KestrolAutomation.dll")
    for tree in TREES:
        wine("reg", "delete", "HKCR\\" + tree, "/f", registry_view)
    result = wine("regsvr32", "/s", str(dll))
    check("AutomationRegisterServerSucceeds", result.returncode == 0, f"exit {result.returncode}")
    module_path = windows_path(dll)
    platform = "win32" if registry_view == "/reg:32" else "win64"
    expected = {
        f"CLSID\\{CLASS_ID}\\InprocServer32": {"(Default)": module_path, "ThreadingModel": "Apartment"},
        f"CLSID\\{CLASS_ID}\\ProgID": {"(Default)": PROGID + ".1"},
        f"CLSID\\{CLASS_ID}\\VersionIndependentProgID": {"(Default)": PROGID},
        f"CLSID\\{CLASS_ID}\\TypeLib": {"(Default)": LIBRARY_ID},
        f"{PROGID}\\CLSID": {"(Default)": CLASS_ID},
        f"{PROGID}\\CurVer": {"(Default)": PROGID + ".1"},
        f"{PROGID}.1\\CLSID": {"(Default)": CLASS_ID},
        f"TypeLib\\{LIBRARY_ID}\\1.0\\0\\{platform}": {"(Default)": module_path},
        f"Interface\\{INTERFACE_ID}\\ProxyStubClsid32": {"(Default)": "{00020424-0000-0000-C000-000000000046}"},
        f"Interface\\{INTERFACE_ID}\\TypeLib": {"(Default)": LIBRARY_ID, "Version": "1.0"},
    }
    keys = {}
    for tree in TREES:
        keys.update({path.lower(): values for path, values in (read_tree(tree) or {}).items()})
    for path, values in expected.items():
        found = {name: data for name, (_, data) in keys.get(path.lower(), {}).items()}
        check(f"Automation key {path}", found == values, f"found {found}")
    # reg lists a key only where it holds a value; the roots without one are known by their subkeys.
    listed = set(keys) | {tree.lower() for tree in TREES if any(k.startswith(tree.lower() + "\\") for k in keys)}
    check("AutomationKeysWritten", len(listed) == 20, f"{len(listed)} keys: {sorted(listed)}")

    cases = sorted((REPO / "examples" / "cases").glob("*.json"))
    natives = {}
    for path in cases:
        relative = path.relative_to(REPO).as_posix()
        result = subprocess.run([kestrol, "size", relative, "--format", "json"], capture_output=True, text=True, cwd=REPO)
        natives[path.name] = json.loads(result.stdout)
    # The datasheets carry the day they are made: one fixed day for both builds.
    os.environ["SOURCE_DATE_EPOCH"] = DATASHEET_EPOCH
    sheets = tempfile.TemporaryDirectory()
    native_sheets = {path.name: native_datasheet(kestrol, path, pathlib.Path(sheets.name)) for path in cases}
    compared = identical = 0
    for language, script in (("VBScript", "automation_test.vbs"), ("JScript", "automation_test.js")):
        print(f"wine: {language} under cscript, every example case through "
              f"{'Value' if language == 'VBScript' else 'SetInput'} and LoadCase")
        # Relative, from the repository: a leading slash would read as an option of cscript.
        test = f"tools/wine/{script}"
        for path in cases:
            relative = path.relative_to(REPO).as_posix()
            pairs = [f"{key}={value}" for key, value in flat_case(json.loads(path.read_text())).items()]
            sheet = pathlib.Path(sheets.name) / f"{language}-{path.stem}.html"
            run = wine("cscript", "//nologo", test, relative, *pairs, "datasheet=" + windows_path(sheet), cwd=REPO)
            facts, documents = parse_script_output(run.stdout)
            native = natives[path.name]
            if native["sized"]:
                html, diameter = native_sheets[path.name]
                written = sheet.read_bytes() if sheet.exists() else b""
                check(f"{language} {path.name}: Datasheet is HTML, the same text as Datasheet(path) writes",
                      facts.get("datasheet-head") == "<!DOCTYPE html>" and facts.get("datasheet-same") == "True",
                      f"{facts.get('datasheet-head')!r} {facts.get('datasheet-same')!r}")
                check(f"{language} {path.name}: Datasheet(path) writes the sheet of kestrol size --datasheet, diameter {diameter}",
                      written == html and diameter.encode() in written, f"{len(written)} bytes vs {len(html)}")
            for route in ("value", "loadcase"):
                document = documents.get(route)
                if document is None:
                    check(f"{language} {path.name} {route}: a Json document", False,
                          f"exit {run.returncode}: {run.stdout[-300:]!r} {run.stderr[-300:]!r}")
                    continue
                differences, n, same = compare_documents(document, native)
                compared += n
                identical += same
                check(f"{language} {path.name} through {route}: Json agrees with kestrol size ({n} numbers)",
                      not differences and n > 0, "; ".join(differences[:4]))
                status = "sized" if native["sized"] else "not sized"
                check(f"{language} {path.name} through {route}: Size, Status and Message",
                      facts.get((route, "status")) == status and facts.get((route, "sized")) == str(native["sized"])
                      and facts.get((route, "message")) == (native["problem"] or ""),
                      f"{facts.get((route, 'sized'))} {facts.get((route, 'status'))} {facts.get((route, 'message'))!r}")
            findings = [f for f in run.stdout.replace("\r\n", "\n").split("\n") if f.startswith("finding ")]
            expected_findings = (1 if native["governing"] else 0) + len(native["review"])
            check(f"{language} {path.name}: the review's findings", len(findings) == expected_findings
                  and facts.get("findings") == str(expected_findings), f"{facts.get('findings')} vs {expected_findings}")
            if path == cases[0]:
                header = subprocess.run([kestrol, "size", str(REPO / "examples" / "batch" / "cases.csv"), "-o", "-"],
                                        capture_output=True, text=True).stdout.split("\n")[0]
                check(f"{language}: ResultNames are the batch's result columns",
                      header.endswith("," + facts.get("names", "-")), facts.get("names", "")[:200])

        run = wine("cscript", "//nologo", test, "--errors", cwd=REPO)
        facts, _ = parse_script_output(run.stdout)
        base = {k: v for k, v in NOT_SIZED.items()}
        version = subprocess.run([kestrol, "--version"], capture_output=True, text=True).stdout.strip()
        check(f"{language}: Version", facts.get("version", "").split(" (")[0] == version.split(" (")[0]
              and facts.get("version", "").endswith("(Windows build, " + registry_view[5:] + "-bit)"),
              facts.get("version"))
        missing = subprocess.run([kestrol, "size", "examples/cases/no_such_case.json"], capture_output=True,
                                 text=True, cwd=REPO).stderr.strip()
        expected_errors = {
            "result-before-size": "the case has not been sized since it was last changed: call Size() first",
            "bad-key": native_sentence(kestrol, dict(base, vapor_mass_flow_kg_h=60000)),
            "bad-value": native_sentence(kestrol, dict(base, pressure_kPa=-5)),
            "bad-text": 'pressure_kPa: "35 bar" is not a number',
            "bad-type": "pressure_kPa: a Boolean is not a number; give a number or numeric text",
            "bad-orientation": native_sentence(kestrol, dict(base, orientation="sideways")),
            "missing-file": missing,
            "not-sized-svg": "Kestrol.Sizing: no drawing: the vessel was not sized",
            "unknown-result": 'unknown result "inside_diameter" (did you mean "inside_diameter_m"?)',
            "bad-slot": "no slot 40: slots count from 1 to 39",
            "datasheet-before-size": "the case has not been sized since it was last changed: call Size() first",
            "not-sized-datasheet": "Kestrol.Sizing: no datasheet: the vessel was not sized",
            "datasheet-bad-path": "Datasheet: the path must be text (the file to write), or left out",
        }
        for label, sentence in expected_errors.items():
            got = facts.get(("error", label))
            check(f"{language}: {label} raises with its sentence", got == sentence, f"{got!r} vs {sentence!r}")
        status, document, _ = native_size(kestrol, NOT_SIZED)
        check(f"{language}: a case not sized", facts.get("not-sized") == "False not sized"
              and facts.get("not-sized-message") == document["problem"] and facts.get("not-sized-result") == "True",
              f"{facts.get('not-sized')} {facts.get('not-sized-message')!r} vs {document['problem']!r}")
        check(f"{language}: Value reads back what was set", facts.get(("value", "pressure_kPa")) == "3500"
              and facts.get(("value-null", "heavy_liquid_density_kg_m3")) == "True", str(facts.get(("value", "pressure_kPa"))))
        refused = {k: v for k, v in NOT_SIZED.items() if k != "vapour_density_kg_m3"}
        sentence = native_sentence(kestrol, refused)
        check(f"{language}: Empty unsets a key, and a case lacking one is bad input",
              facts.get("bad-input") == "False bad input" and facts.get("bad-input-message") == sentence,
              f"{facts.get('bad-input')} {facts.get('bad-input-message')!r} vs {sentence!r}")
    print(f"  Json numbers compared: {compared}, bit-identical with the native build: {identical}")
    check_datasheet_outside_ansi(pathlib.Path(sheets.name), native_sheets["gas_scrubber_vertical.json"], check, windows_path)
    sheets.cleanup()
    del os.environ["SOURCE_DATE_EPOCH"]

    scrubber = REPO / "examples" / "cases" / "gas_scrubber_vertical.json"
    document = natives[scrubber.name]
    check_dispatch_host(build, scrubber, document, check, wine)
    print("wine: the examples of examples/automation")
    run = wine("cscript", "//nologo", "examples/automation/size_case.vbs", cwd=REPO)
    diameter = document["vessel"]["inside_diameter"]["value"]
    check("size_case.vbs prints the scrubber's diameter", run.returncode == 0 and
          any(line.startswith("inside_diameter_m = ") and math.isclose(float(line.split("= ")[1]), diameter, rel_tol=1e-9)
              for line in run.stdout.replace("\r\n", "\n").split("\n")), run.stdout[-300:] + run.stderr[-300:])
    run = wine("cscript", "//nologo", "examples/automation/size_case.js", cwd=REPO)
    check("size_case.js sizes the production separator", run.returncode == 0 and "total_cost_USD = " in run.stdout,
          run.stdout[-300:] + run.stderr[-300:])

    print("wine: regsvr32 /u KestrolAutomation.dll")
    result = wine("regsvr32", "/u", "/s", str(dll))
    check("AutomationUnregisterServerSucceeds", result.returncode == 0, f"exit {result.returncode}")
    for tree in TREES:
        check(f"Automation: removed {tree}", read_tree(tree) is None, "still there")
