#!/usr/bin/env python3
"""Checks the two reference tables of docs/interface.md against the code they describe: the
method table (slot, name, return type, parameters) against the interface in
include/kestrol/kestrol.h, both its C++ declaration and its C table, and the vector table
(index, pointer offset, name, unit, kept by ClearValues) against the slot table in core/slots.h.
A method or slot added, renamed, moved or retyped in the code fails here until the document
follows.

usage: interface_doc_test.py SOURCE_DIR
"""
import pathlib
import re
import sys

CPP_METHOD = re.compile(r"virtual\s+(?P<ret>[\w\*\s]+?)\s+STDMETHODCALLTYPE\s+(?P<name>\w+)\((?P<params>[^)]*)\)\s*=\s*0;\s*//\s*(?P<slot>\d+)")
C_METHOD = re.compile(r"(?P<ret>\w+\s*\**)\s*\(STDMETHODCALLTYPE\*\s*(?P<name>\w+)\)\((?P<params>[^)]*)\);\s*/\*\s*(?P<slot>\d+)")
ENUM_ROW = re.compile(r"^\s*(\w+)\s*=\s*(\d+),", re.M)
SLOT_ROW = re.compile(r'\{Slot::(\w+),\s*"([^"]*)",\s*"([^"]*)",\s*(true|false)\}')


def squeeze(text):
    """One space between words, none inside pointers: 'double *x' and 'double* x' read alike."""
    text = re.sub(r"\s*(\*+)\s*", r"\1 ", text.strip())
    return re.sub(r"\s+", " ", text).strip()


def header_methods(header):
    """Slot -> (name, return type, parameters) from both spellings of the interface, which must agree."""
    cpp = {int(m["slot"]): (m["name"], squeeze(m["ret"]), squeeze(m["params"])) for m in CPP_METHOD.finditer(header)}
    c = {}
    for m in C_METHOD.finditer(header):
        params = [p.strip() for p in m["params"].split(",")]
        if params and params[0].startswith("ISeparatorSizing"):
            params = params[1:]  # the object itself, implicit in C++
        c[int(m["slot"])] = (m["name"], squeeze(m["ret"]), squeeze(", ".join(params)))
    problems = []
    for slot, row in sorted(cpp.items()):
        if c.get(slot) != row:
            problems.append(f"kestrol.h: slot {slot} is {row} in C++ but {c.get(slot)} in C")
    return c, problems


def code_slots(slots_h):
    numbers = {name: int(n) for name, n in ENUM_ROW.findall(slots_h.split("enum class Slot", 1)[1].split("};", 1)[0])}
    rows = []
    for enum_name, name, unit, kept in SLOT_ROW.findall(slots_h):
        rows.append((numbers[enum_name], name, unit, kept == "true"))
    return rows


def cells(line):
    return [c.strip().strip("`").strip() for c in line.strip().strip("|").split("|")]


def doc_table(doc, first_header_cell):
    """The rows of the first table whose header starts with the given cell."""
    lines = doc.splitlines()
    for i, line in enumerate(lines):
        if line.startswith("|") and cells(line)[0] == first_header_cell:
            header = cells(line)
            rows = []
            for body in lines[i + 2:]:
                if not body.startswith("|"):
                    break
                rows.append(dict(zip(header, cells(body))))
            return rows
    return None


def compare_methods(doc, methods):
    problems = []
    rows = doc_table(doc, "Slot")
    if rows is None:
        return ["docs/interface.md: no method table (a table whose first column is 'Slot')"]
    documented = {}
    for row in rows:
        try:
            documented[int(row["Slot"])] = (row["Method"], squeeze(row["Returns"]), squeeze(row["Parameters"]))
        except (KeyError, ValueError):
            problems.append(f"docs/interface.md: method row {row} is not slot, method, returns, parameters")
    if list(documented) != sorted(documented):
        problems.append("docs/interface.md: method rows are not in slot order")
    for slot in sorted(set(methods) | set(documented)):
        want = methods.get(slot)
        got = documented.get(slot)
        if got is None:
            problems.append(f"docs/interface.md: slot {slot} {want[0]} is missing from the method table")
        elif want is None:
            problems.append(f"docs/interface.md: slot {slot} {got[0]} is in the method table but not in kestrol.h")
        elif got != want:
            problems.append(f"docs/interface.md: slot {slot} documented as {got}, kestrol.h has {want}")
    return problems


def compare_slots(doc, slots):
    problems = []
    rows = doc_table(doc, "Index")
    if rows is None:
        return ["docs/interface.md: no vector table (a table whose first column is 'Index')"]
    if len(rows) != len(slots):
        problems.append(f"docs/interface.md: the vector table has {len(rows)} rows, core/slots.h {len(slots)}")
    for row, (index, name, unit, kept) in zip(rows, slots):
        try:
            got = (int(row["Index"]), int(row["Offset"]), row["Name"], row["Unit"], row["Kept by ClearValues"])
        except (KeyError, ValueError):
            problems.append(f"docs/interface.md: vector row {row} lacks index, offset, name, unit or kept")
            continue
        want = (index, index - 1, name, unit, "yes" if kept else "no")
        if got != want:
            problems.append(f"docs/interface.md: vector row documented as {got}, core/slots.h has {want}")
    return problems


def main():
    source = pathlib.Path(sys.argv[1])
    header = (source / "include" / "kestrol" / "kestrol.h").read_text()
    slots_h = (source / "core" / "slots.h").read_text()
    doc = (source / "docs" / "interface.md").read_text()

    methods, problems = header_methods(header)
    if sorted(methods) != list(range(30)):
        problems.append(f"kestrol.h: found slots {sorted(methods)}, not 0 to 29")
    slots = code_slots(slots_h)
    if [s[0] for s in slots] != list(range(1, 40)):
        problems.append(f"core/slots.h: found slots {[s[0] for s in slots]}, not 1 to 39")
    problems += compare_methods(doc, methods)
    problems += compare_slots(doc, slots)
    for p in problems:
        print(p)
    print(f"{len(methods)} methods and {len(slots)} vector slots compared: {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
