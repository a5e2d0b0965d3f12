"""What the package writes out for a type checker holds to the extension's tables, and the user
script mypy checks runs."""
import pathlib
import runpy

import kestrol


def test_slots_and_failure_codes_are_the_extensions():
    assert [(slot.name, slot.value) for slot in kestrol.Slot] == [(name, index) for name, index, _unit in kestrol._kestrol.SLOTS]
    codes = {name: getattr(kestrol, name) for name in kestrol.__all__ if name.startswith("SIZING_E_")}
    assert codes == kestrol._kestrol.HRESULTS


def test_the_typed_user_script_runs():
    script = runpy.run_path(str(pathlib.Path(__file__).with_name("typing_user_script.py")))
    assert script["one_case"]() > 0 and script["many_cases"]() > 0 and script["the_object"]() > 0
    assert "results" in script["scripts"]()
