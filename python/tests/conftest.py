"""Shared fixtures: the package under test comes from the build folder (PYTHONPATH), the command
line it is compared with from $KESTROL or the same build folder."""
import json
import os
import pathlib
import subprocess

import pytest

import kestrol

REPO = pathlib.Path(__file__).resolve().parents[2]
EXAMPLE_CASES = sorted((REPO / "examples" / "cases").glob("*.json"))
BATCH = REPO / "examples" / "batch" / "cases.csv"


def _find_cli():
    if os.environ.get("KESTROL"):
        return os.environ["KESTROL"]
    # <build>/python/kestrol/__init__.py -> <build>/host/kestrol
    beside = pathlib.Path(kestrol.__file__).resolve().parents[2] / "host" / "kestrol"
    return str(beside) if beside.exists() else None


@pytest.fixture(scope="session")
def cli():
    path = _find_cli()
    if path is None:
        pytest.fail("no kestrol command line: set KESTROL or build the host beside the extension")

    def run(*args, check_status=None):
        done = subprocess.run([path, *map(str, args)], capture_output=True, text=True, cwd=REPO)
        if check_status is not None:
            assert done.returncode == check_status, done.stderr
        return done

    run.path = path
    return run


@pytest.fixture(scope="session")
def cli_json(cli):
    def document(case, *extra):
        return json.loads(cli("size", case, "--format", "json", *extra).stdout)

    return document
