"""Parses each file named as XML; names those that are not well-formed and exits 1 if any."""
import sys
import xml.etree.ElementTree as ElementTree

failed = 0
for path in sys.argv[1:]:
    try:
        ElementTree.parse(path)
    except ElementTree.ParseError as error:
        print(f"{path}: {error}", file=sys.stderr)
        failed += 1
sys.exit(1 if failed else 0)
