"""Host scripts: every public conformance script through run_script, judged by the checker's own
rule, and replayed call by call on SizingObject to the same results and vector."""
import importlib.machinery
import importlib.util
import json
import math
import re

import pytest

import kestrol
from conftest import REPO

CORPUS = REPO.parent / "shared" / "conformance"
EXAMPLE_SCRIPTS = sorted((REPO / "examples" / "scripts").glob("*.json"))


def corpus_names():
    index = CORPUS / "index.json"
    return sorted(json.loads(index.read_text())) if index.exists() else []


@pytest.fixture(scope="module")
def checker():
    if not (CORPUS / "check").exists():
        pytest.skip("conformance corpus not found beside the repository")
    loader = importlib.machinery.SourceFileLoader("conformance_check", str(CORPUS / "check"))
    module = importlib.util.module_from_spec(importlib.util.spec_from_loader(loader.name, loader))
    loader.exec_module(module)
    return module


def number(value):
    if isinstance(value, str):
        return {"NaN": math.nan, "Infinity": math.inf, "-Infinity": -math.inf}[value]
    return float(value)


def as_script_number(value):
    if math.isnan(value):
        return "NaN"
    if math.isinf(value):
        return "Infinity" if value > 0 else "-Infinity"
    return value


def snake(name):
    return re.sub(r"(?<=[a-z0-9])(?=[A-Z])", "_", name).lower()


def replay(script):
    """The script played on SizingObject through its Python names, in the script output's form."""
    o = kestrol.SizingObject()
    if "callback" in script:
        answers = {int(k): number(v) for k, v in script["callback"].items()}
        o.set_property_callback(lambda code: answers.get(code, kestrol.EMPTY_VALUE))
    for field, value in script.get("inputs", {}).items():
        getattr(o, "set_" + snake(field))(number(value))
    results = []
    for name, *args in script["calls"]:
        method = getattr(o, snake(name))
        if name == "GetValue" and not 1 <= int(args[0]) <= kestrol._kestrol.SLOT_COUNT:
            with pytest.raises(IndexError):
                method(int(args[0]))
            answer = as_script_number(kestrol.EMPTY_VALUE)  # what the interface answers instead
        elif name in ("SetOrientation", "GetValue", "AllocValues"):
            answer = method(int(args[0]))
        elif name == "SetValue":
            answer = method(number(args[0]), int(args[1]))
        elif args:
            answer = method(number(args[0]))
        else:
            answer = method()
        if name in ("Calculate", "AllocValues"):
            answer = answer & 0xFFFFFFFF
        elif name == "GetVectorPointer":
            answer = len(answer) == kestrol._kestrol.SLOT_COUNT + 1
        elif name == "CalcVerticalLevels":
            answer = [as_script_number(answer[0]), as_script_number(answer[1])]
        elif isinstance(answer, float):
            answer = as_script_number(answer)
        results.append(answer)
    vector = o.vector
    return results, (None if len(vector) == 0 else [as_script_number(v) for v in vector[1:]])


def test_every_conformance_script_agrees_by_the_checkers_rule(checker):
    names = corpus_names()
    assert len(names) >= 1200
    failed = []
    for name in names:
        output = kestrol.run_script(CORPUS / "scripts" / f"{name}.json")
        expected = json.loads((CORPUS / "expected" / f"{name}.json").read_text())
        difference = checker.same(expected, output, "", {"numbers": 0, "identical": 0})
        if difference:
            failed.append(f"{name}: {difference}")
    assert not failed, f"{len(failed)} of {len(names)} disagree:\n" + "\n".join(failed[:20])


def test_every_script_replays_on_the_object_through_its_python_names(checker):
    scripts = [CORPUS / "scripts" / f"{name}.json" for name in corpus_names()] + EXAMPLE_SCRIPTS
    for path in scripts:
        script = json.loads(path.read_text())
        output = kestrol.run_script(script)
        results, vector = replay(script)
        # Exactly equal: json.dumps keeps every bit of a double and the non-finite words.
        assert json.dumps(results) == json.dumps(output["results"]), path.name
        assert json.dumps(vector) == json.dumps(output["vector"]), path.name


def test_run_script_takes_text_and_refuses_what_the_command_line_refuses(cli, tmp_path):
    script = EXAMPLE_SCRIPTS[0]
    assert kestrol.run_script(script.read_text()) == json.loads(cli("run", script, check_status=0).stdout)
    bad = tmp_path / "bad.json"
    bad.write_text('{"calls": [["Calculate", 1]]}')
    refused = cli("run", bad, check_status=2).stderr.strip()
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.run_script(bad)
    assert str(raised.value) == refused
    with pytest.raises(kestrol.CaseError, match="unknown method"):
        kestrol.run_script({"calls": [["Calcul8"]]})


@pytest.mark.parametrize("text", [b"\xd0", b'{"calls": [["GetValue", 1]]}\0junk', b'{"calls": [["GetValue", [1]]]}'],
                         ids=["lead byte alone", "NUL after the object", "too deep"])
def test_a_script_the_reader_refuses_raises_its_sentence(cli, tmp_path, text):
    bad = tmp_path / "bad.json"
    bad.write_bytes(text)
    refused = cli("run", bad, check_status=2).stderr.strip()
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.run_script(bad)
    assert str(raised.value) == refused and "(line 1, column " in refused


def dry_gas_object(callback):
    """A vertical vessel for a feed with no liquid: Calculate asks the callback for the assumed liquid."""
    o = kestrol.SizingObject()
    for setter, value in [("set_pressure", 3500.0), ("set_temperature", 35.0), ("set_vapour_mass_flow", 60000.0),
                          ("set_vapour_density", 28.0), ("set_auxiliary_value1", 1.0)]:
        getattr(o, setter)(value)
    o.set_orientation(0)
    o.property_callback = callback
    return o


def test_the_callback_is_a_python_callable_and_its_errors_surface():
    asked = []

    def answers(code):
        asked.append(code)
        return {0: 2.0, 1: 650.0}[code]

    o = dry_gas_object(answers)
    assert kestrol.check(o.calculate()) == 0 and sorted(set(asked)) == [0, 1]
    assert o.get_value(kestrol.Slot.Diameter) > 0 and o.vector[kestrol.Slot.Diameter] == o.get_value(kestrol.Slot.Diameter)
    with pytest.raises(ValueError):
        o.vector[0] = 1.0  # read-only

    def broken(code):
        raise KeyError(code)

    with pytest.raises(KeyError):
        dry_gas_object(broken).calculate()
    with pytest.raises(TypeError, match="must return a number"):
        dry_gas_object(lambda code: "two").calculate()
    with pytest.raises(kestrol.SizingError) as raised:
        kestrol.check(dry_gas_object(None).calculate())
    assert raised.value.hresult == kestrol.SIZING_E_NOPERCENT
    assert raised.value.sentence == kestrol._kestrol.explain_result(kestrol.SIZING_E_NOPERCENT)
    assert kestrol.check(1) == 1  # S_FALSE is a success
    with pytest.raises(kestrol.SizingError):
        kestrol.check(0x80040205)  # the unsigned form a script prints
