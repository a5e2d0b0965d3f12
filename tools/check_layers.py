#!/usr/bin/env python3
"""Fails on an include that runs up the floors, or across between side-by-side floors.

    tools/check_layers.py [ROOT]

Each floor below may include itself and the floors under it, nothing else; the libraries in
CMakeLists.txt link in the same order. Folders not listed (tests/, bench/, fuzz/, tools/) may
include any floor.
"""
import pathlib
import re
import sys

# Floor: the floors directly under it. "kestrol" is the public header, include/kestrol/.
UNDER = {
    "platform": [],
    "kestrol": ["platform"],
    "core": [],
    "common": ["core"],
    "design": ["common"],
    "vertical": ["design"],
    "horizontal": ["design"],
    "sizing": ["vertical", "horizontal", "kestrol"],
    "module": ["sizing"],
    "model": ["module"],
    "process": ["model"],
    "mechanical": ["process"],
    "review": ["mechanical"],
    "host": ["review"],
    "python": ["host"],
    "automation": ["host"],
}
FOLDER = {"kestrol": "include/kestrol"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
SOURCE_SUFFIXES = {".h", ".hpp", ".c", ".cpp"}


def reachable(floor):
    """The floor and every floor under it."""
    seen, todo = set(), [floor]
    while todo:
        f = todo.pop()
        if f not in seen:
            seen.add(f)
            todo.extend(UNDER[f])
    return seen


def upward_includes(root):
    """(file, line, included, floor) for every include its floor may not make."""
    found = []
    for floor in UNDER:
        allowed = reachable(floor)
        for path in sorted((root / FOLDER.get(floor, floor)).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES:
                continue
            text = path.read_text(encoding="utf-8")
            for match in INCLUDE.finditer(text):
                included = match.group(1)
                target = included.split("/", 1)[0] if "/" in included else floor
                if target in UNDER and target not in allowed:
                    line = text.count("\n", 0, match.start()) + 1
                    found.append((path.relative_to(root), line, included, floor))
    return found


def main(argv):
    root = pathlib.Path(argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    found = upward_includes(root)
    for path, line, included, floor in found:
        print(f"{path}:{line}: {floor}/ includes \"{included}\", from a floor it does not stand on")
    if found:
        return 1
    print(f"layers: every include of {', '.join(UNDER)} runs down")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
