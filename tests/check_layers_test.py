#!/usr/bin/env python3
"""tools/check_layers.py against small trees: it must name an include that runs up or across,
and pass one that runs down."""
import pathlib
import subprocess
import sys
import tempfile

check = pathlib.Path(sys.argv[1])
cases = [
    # (file, its include, whether the check must refuse it)
    ("design/presets.cpp", "common/default_times.h", False),
    ("vertical/vertical_sizing.cpp", "design/cost.h", False),
    ("sizing/sizing_object.h", "kestrol/kestrol.h", False),
    ("tests/any_test.cpp", "host/report.h", False),
    ("design/presets.cpp", "vertical/default_times.h", True),
    ("vertical/vertical_sizing.cpp", "horizontal/holdup_split.h", True),
    ("sizing/sizing_object.cpp", "module/module_state.h", True),
    ("core/values.h", "platform/windows_api.h", True),
    ("review/review.h", "host/report.h", True),
]
failures = 0
for path, included, refused in cases:
    with tempfile.TemporaryDirectory() as root:
        source = pathlib.Path(root, path)
        source.parent.mkdir(parents=True)
        source.write_text(f'#pragma once\n#include <vector>\n#include "{included}"\n')
        run = subprocess.run([sys.executable, str(check), root], capture_output=True, text=True)
        named = f"{path}:3:" in run.stdout
        if (run.returncode != 0) != refused or named != refused:
            failures += 1
            print(f"FAIL {path} including {included}: exit {run.returncode}, output {run.stdout!r}")
print(f"{len(cases) - failures} of {len(cases)} trees judged as they should be")
sys.exit(1 if failures else 0)
