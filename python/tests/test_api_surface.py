"""What a user reads of the package: its namespace, its docstrings and their examples."""
import doctest
import os
import re
import subprocess
import sys
import types

import pytest

import kestrol
from conftest import REPO

# The submodules meant to be reached from the package.
SUBMODULES = {"dask"}
CASE = {"orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
        "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720}


def test_the_namespace_is_the_api():
    public = {name for name in dir(kestrol) if not name.startswith("_")}
    assert public - set(kestrol.__all__) <= SUBMODULES
    assert [name for name in kestrol.__all__ if not hasattr(kestrol, name)] == []
    for name in public & SUBMODULES:
        assert isinstance(getattr(kestrol, name), types.ModuleType)


def test_dask_is_imported_on_first_use():
    probe = ("import sys, kestrol\n"
             "before = 'kestrol.dask' in sys.modules or 'dask' in sys.modules\n"
             "size_frame = kestrol.dask.size_frame\n"
             "print(before, 'kestrol.dask' in sys.modules, callable(size_frame))\n"
             "try:\n    kestrol.no_such_name\nexcept AttributeError as e:\n    print(e)\n")
    out = subprocess.run([sys.executable, "-c", probe], capture_output=True, text=True, check=True, env=os.environ).stdout
    assert out.splitlines() == ["False True True", "module 'kestrol' has no attribute 'no_such_name'"]


@pytest.mark.parametrize("item, sections", [
    (kestrol.size, ["Parameters", "Returns", "Raises", "Notes", "Examples"]),
    (kestrol.size_many, ["Parameters", "Returns", "Raises", "Examples"]),
    (kestrol.run_script, ["Parameters", "Returns", "Raises", "Examples"]),
    (kestrol.check, ["Parameters", "Returns", "Raises", "Examples"]),
    (kestrol.findings_frame, ["Parameters", "Returns", "Raises", "Examples"]),
    (kestrol.SizingError, ["Parameters", "Attributes", "Examples"]),
    (kestrol.Sizing, ["Attributes", "Examples"]),
    (kestrol.SizingObject, ["Attributes", "Examples"]),
    (kestrol.Sizing.to_dict, ["Parameters", "Returns", "Raises", "Examples"]),
    (kestrol.Sizing.to_series, ["Returns", "Raises", "Examples"]),
    (kestrol.Sizing.findings, ["Returns", "Examples"]),
])
def test_docstrings_have_their_sections_in_order(item, sections):
    doc = item.__doc__ or ""
    found = [line.strip() for line, rule in zip(doc.splitlines(), doc.splitlines()[1:]) if set(rule.strip()) == {"-"}]
    assert found == sections


def test_the_case_key_table_is_the_key_table():
    assert [key.name for key in kestrol.CASE_KEYS] == [key for key, _design, _words in kestrol._kestrol.CASE_KEYS]
    lines = kestrol.size.__doc__.splitlines()
    rules = [i for i, line in enumerate(lines) if re.fullmatch(r"\s*=+(  =+)*", line)]
    assert len(rules) == 3
    rows = {re.match(r"\s*``(\w+)``", line).group(1): line for line in lines[rules[1] + 1:rules[2]]}
    assert list(rows) == [key.name for key in kestrol.CASE_KEYS]
    for key in kestrol.CASE_KEYS:
        cells = re.split(r"\s{2,}", rows[key.name].strip())
        assert cells == [f"``{key.name}``", key.unit or "-", "design" if key.design else "top",
                         "preset" if key.design else "absent", key.description]
    units = {key.name: key.unit for key in kestrol.CASE_KEYS}
    assert (units["pressure_kPa"], units["temperature_C"], units["cost_index"], units["assumed_liquid_percent"]) == (
        "kPa abs", "deg C", "", "%")


def test_result_attributes_say_what_they_hold():
    docs = {name: getattr(kestrol.Sizing, name).__doc__ for name in kestrol.RESULT_NAMES}
    assert docs["inside_diameter_m"] == "Inside diameter [m]; None when not computed or not applicable."
    assert docs["total_cost_USD"] == 'Total cost [USD], "Total" in the text report; None when not computed or not applicable.'
    assert docs["cost_index"] == "Cost index; None when not computed or not applicable."
    endings = {"_kg_m3": "[kg/m3]", "_m_s": "[m/s]", "_kPa": "[kPa]", "_USD": "[USD]", "_kg": "[kg]", "_m": "[m]", "_s": "[s]"}
    for name, doc in docs.items():
        ending = next((e for e in endings if name.endswith(e)), None)
        assert (endings[ending] in doc) if ending else ("[" not in doc), name
        assert "the unit its name ends with" not in doc


def test_the_examples_run(monkeypatch):
    pandas = pytest.importorskip("pandas")
    monkeypatch.chdir(REPO)
    globs = {"kestrol": kestrol, "pd": pandas, "CASE": CASE}
    finder, runner = doctest.DocTestFinder(), doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    tests = [t for t in finder.find(kestrol, globs=globs) if t.examples]
    for test in tests:
        runner.run(test)
    names = {t.name.rsplit(".", 1)[-1] for t in tests}
    assert {"kestrol", "size", "size_many", "check", "findings_frame", "run_script", "SizingError", "Sizing", "SizingObject"} <= names
    assert runner.summarize(verbose=False).failed == 0
