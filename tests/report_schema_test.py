#!/usr/bin/env python3
"""Checks the JSON reports of the bundled examples, in both unit systems, and of a case that was
not sized and one that was refused, against docs/report.schema.json; and the example batch's
columns after its inputs, in order and each row, against the schema's batch row.

usage: report_schema_test.py KESTROL SOURCE_DIR
"""
import csv
import json
import pathlib
import subprocess
import sys
import tempfile

import jsonschema

FEED = ('"pressure_kPa": 1200, "temperature_C": 40, "vapour_mass_flow_kg_h": 5000, "vapour_density_kg_m3": 10, '
        '"light_liquid_mass_flow_kg_h": 1e10, "light_liquid_density_kg_m3": 800')
EXTRA_CASES = {
    # The diameter search gives up: every result is null, the basis stays.
    "not_sized.json": ('{"orientation": "vertical", ' + FEED + '}', 1),
    # Refused: the error object.
    "refused.json": ('{"orientation": "horizontal", ' + FEED + ', "design": {"overall_length_m": 8}}', 2),
}


def main():
    kestrol, source = sys.argv[1], pathlib.Path(sys.argv[2])
    schema = json.loads((source / "docs" / "report.schema.json").read_text())
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        cases = [(path, 0) for path in sorted((source / "examples" / "cases").glob("*.json"))]
        for name, (text, status) in EXTRA_CASES.items():
            path = pathlib.Path(folder) / name
            path.write_text(text)
            cases.append((path, status))
        for path, status in cases:
            for units in ("si", "us"):
                run = subprocess.run([kestrol, "size", str(path), "--format", "json", "--units", units],
                                     capture_output=True, text=True)
                label = f"{path.name} --units {units}"
                if run.returncode != status:
                    print(f"{label}: exit {run.returncode}, expected {status}: {run.stderr}")
                    failures += 1
                    continue
                errors = sorted(validator.iter_errors(json.loads(run.stdout)), key=lambda e: list(e.path))
                for error in errors[:5]:
                    print(f"{label}: {'/'.join(map(str, error.path))}: {error.message[:200]}")
                failures += len(errors) > 0
                print(f"{label}: {'ok' if not errors else 'FAILED'}")
        failures += check_batch(kestrol, source, schema, pathlib.Path(folder))
    return 1 if failures else 0


def check_batch(kestrol, source, schema, folder):
    """The batch's own columns are the batch row's, in its order, once each; every row fits it."""
    results = folder / "results.csv"
    subprocess.run([kestrol, "size", str(source / "examples" / "batch" / "cases.csv"), "-o", str(results)],
                   capture_output=True, check=True)
    with results.open(newline="") as file:
        rows = list(csv.reader(file))
    header = rows[0]
    inputs = header.index("orientation_used")  # the inputs stand before it
    batch_row = schema["$defs"]["batch_row"]
    problems = []
    if header[inputs:] != batch_row["required"]:
        problems.append(f"columns after the inputs {header[inputs:]} are not the batch row's {batch_row['required']}")
    repeated = sorted({name for name in header if header.count(name) > 1})
    if repeated:
        problems.append(f"columns named twice: {repeated}")
    validator = jsonschema.Draft202012Validator(batch_row)
    words = {name for name, rule in batch_row["properties"].items() if rule.get("type") != ["number", "null"]}
    for row in rows[1:]:
        record = {name: cell if name in words else (float(cell) if cell else None)
                  for name, cell in zip(header[inputs:], row[inputs:])}
        problems += [f"{row[0]}: {e.message[:200]}" for e in validator.iter_errors(record)][:3]
    for problem in problems[:10]:
        print(f"batch: {problem}")
    print(f"batch: {len(rows) - 1} rows, {'ok' if not problems else 'FAILED'}")
    return len(problems) > 0


if __name__ == "__main__":
    sys.exit(main())
