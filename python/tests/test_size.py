"""size() against the command line: the same document, report, drawing and sentences."""
import json
import re
import math
import pickle

import numpy
import pandas as pd
import pytest

import kestrol
from conftest import EXAMPLE_CASES, REPO

NO_LIQUID_WITHOUT_SHARE = {
    "orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
    "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
}


@pytest.mark.parametrize("units", ["si", "us"])
@pytest.mark.parametrize("case", EXAMPLE_CASES, ids=lambda p: p.stem)
def test_document_report_and_drawing_equal_the_command_line(cli, tmp_path, case, units):
    relative = case  # the document names the case file as given: give both the same
    sizing = kestrol.size(relative)
    assert sizing.to_dict(units) == json.loads(cli("size", relative, "--format", "json", "--units", units).stdout)
    assert sizing.report(units) == cli("size", relative, "--units", units).stdout
    drawing = tmp_path / "vessel.svg"
    cli("size", relative, "--units", units, "--svg", drawing, check_status=0)
    assert sizing.svg(units) == drawing.read_text()


@pytest.mark.parametrize("case", EXAMPLE_CASES, ids=lambda p: p.stem)
def test_datasheet_equals_the_command_lines(cli, tmp_path, monkeypatch, case):
    monkeypatch.setenv("SOURCE_DATE_EPOCH", "1767312000")  # both read it: the same day on both sides
    sheet = tmp_path / "sheet.html"
    cli("size", case, "--units", "us", "--datasheet", sheet, check_status=0)
    assert kestrol.size(case).datasheet("us") == sheet.read_text(encoding="utf-8")
    assert "2026-01-02" in sheet.read_text(encoding="utf-8")


@pytest.mark.parametrize("case", EXAMPLE_CASES, ids=lambda p: p.stem)
def test_mapping_sizes_as_the_file_and_attributes_carry_the_document(case):
    by_path = kestrol.size(case)
    by_mapping = kestrol.size(json.loads(case.read_text()))
    document = by_path.to_dict()
    assert {**by_mapping.to_dict(), "source": document["source"]} == document
    assert by_path.sized and numpy.array_equal(by_mapping.vector, by_path.vector, equal_nan=True)
    for group in ("vessel", "liquids", "vapour", "mechanical", "cost"):
        for key, field in document[group].items():
            if not isinstance(field, dict):
                continue
            column = next(c for c in kestrol.RESULT_NAMES + kestrol.REVIEW_COLUMNS if c.startswith(key + "_") or c == key)
            if field.get("unit") == "mm":  # the report shows thicknesses in mm, the name says m
                assert getattr(by_path, column) == pytest.approx(field["value"] / 1000.0, rel=1e-15), column
            else:
                assert getattr(by_path, column) == field["value"], column
    assert by_path.orientation == document["vessel"]["orientation"]


BEYOND_LIMITS = {
    "orientation": "horizontal", "pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 1e14,
    "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1e12, "light_liquid_density_kg_m3": 720,
}


def test_a_case_the_object_cannot_size_is_a_result_not_an_exception(cli, tmp_path):
    path = tmp_path / "huge.json"
    path.write_text(json.dumps(BEYOND_LIMITS))
    sizing = kestrol.size(BEYOND_LIMITS)
    assert not sizing.sized and sizing.status == "not sized"
    expected = json.loads(cli("size", path, "--format", "json", check_status=1).stdout)
    assert sizing.problem == expected["problem"] and sizing.missing_results
    assert sizing.overall_length_m is None and sizing._repr_svg_() is None
    with pytest.raises(kestrol.CaseError, match="not sized"):
        sizing.svg()
    with pytest.raises(kestrol.CaseError, match="not sized"):
        sizing.datasheet()


DRY_GAS = {
    "pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
    "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 720,
}


@pytest.mark.parametrize("orientation", ["vertical", "horizontal", "auto"])
def test_a_velocity_the_correlation_does_not_define_is_not_sized(cli, tmp_path, orientation):
    case = {**DRY_GAS, "orientation": orientation}
    path = tmp_path / "dry.json"
    path.write_text(json.dumps(case))
    sizing = kestrol.size(case)
    assert not sizing.sized and sizing.status == "not sized"
    expected = json.loads(cli("size", path, "--format", "json", check_status=1).stdout)
    assert sizing.problem == expected["problem"]
    assert "flow parameter" in sizing.problem and "design.allowable_vapour_velocity_m_s" in sizing.problem
    assert sizing.vector[kestrol.Slot.VapourVelocity] < 0.0  # the object's number, as it computed it
    assert sizing.allowable_vapour_velocity_m_s is None
    rows = kestrol.size_many([case, {**case, "design": {"allowable_vapour_velocity_m_s": 0.3}}])
    assert list(rows["status"]) == ["not sized", "sized"]
    assert rows["message"].iloc[0] == sizing.problem


BAD_CASES = [
    ("typo", {"vapor_mass_flow_kg_h": 1}),
    ("wrong type", {"pressure_kPa": "high"}),
    ("boolean", {"pressure_kPa": True}),
    ("negative density", {**NO_LIQUID_WITHOUT_SHARE, "vapour_density_kg_m3": -1.0}),
    ("lighter liquid", {**NO_LIQUID_WITHOUT_SHARE, "light_liquid_mass_flow_kg_h": 10, "light_liquid_density_kg_m3": 5}),
    ("orientation", {**NO_LIQUID_WITHOUT_SHARE, "orientation": "verticle"}),
    ("design typo", {**NO_LIQUID_WITHOUT_SHARE, "design": {"diamter_m": 2}}),
    ("design not an object", {**NO_LIQUID_WITHOUT_SHARE, "design": 3}),
    ("empty marker", {**NO_LIQUID_WITHOUT_SHARE, "temperature_C": -32767}),
    ("material", {**NO_LIQUID_WITHOUT_SHARE, "design": {"material_code": 2.5}}),
]


# A mapping's word or truth value where a number belongs is named with its value and Python
# type; the file's sentence has only the JSON type.
PYTHON_TYPED = {"wrong type": 'case: pressure_kPa: must be a number, not str "high"',
                "boolean": "case: pressure_kPa: must be a number, not bool True"}


@pytest.mark.parametrize("label,case", BAD_CASES, ids=[b[0] for b in BAD_CASES])
def test_bad_input_raises_the_exit_2_sentence(cli, tmp_path, label, case):
    path = tmp_path / "bad.json"
    path.write_text(json.dumps(case))
    refused = cli("size", path, check_status=2)
    with pytest.raises(kestrol.CaseError) as by_path:
        kestrol.size(path)
    assert str(by_path.value) == refused.stderr.strip()
    with pytest.raises(ValueError) as by_mapping:
        kestrol.size(case)
    # A mapping has no lines: the same sentence, without the file's line and column.
    assert str(by_mapping.value) == PYTHON_TYPED.get(
        label, re.sub(r"^(:\d+:\d+)?", "", refused.stderr.strip().replace(str(path), "", 1)).join(["case", ""]))


UNREADABLE_FILES = [
    ("letter alone", b"\xc3\xa9"),
    ("lead byte alone", b"\xd0"),
    ("degree sign after a number", '{"pressure_kPa": 3500, "temperature_C": 35°C}'.encode()),
    ("key not UTF-8", b'{"pres\xffsure": 1}'),
    ("NUL after the object", json.dumps(NO_LIQUID_WITHOUT_SHARE).encode() + b"\0junk"),
    ("deep nesting", b'{"x": ' + b"[" * 200000 + b"]" * 200000 + b"}"),
]


@pytest.mark.parametrize("label,text", UNREADABLE_FILES, ids=[u[0] for u in UNREADABLE_FILES])
def test_a_file_the_reader_refuses_raises_its_sentence(cli, tmp_path, label, text):
    path = tmp_path / "bad.json"
    path.write_bytes(text)
    refused = cli("size", path, check_status=2).stderr.strip()
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.size(path)
    assert str(raised.value) == refused and "bad.json:1:" in refused


NESTED_CASES = [
    ("array in the design block", {**NO_LIQUID_WITHOUT_SHARE, "design": {"diameter_m": [1.2]}}),
    ("list in a list", {**NO_LIQUID_WITHOUT_SHARE, "pressure_kPa": [[3500]]}),
]


@pytest.mark.parametrize("label,case", NESTED_CASES, ids=[n[0] for n in NESTED_CASES])
def test_a_mapping_deeper_than_a_case_file_is_refused_as_the_file_is(cli, tmp_path, label, case):
    path = tmp_path / "deep.json"
    path.write_text(json.dumps(case))
    refused = cli("size", path, check_status=2).stderr.strip()
    assert "nests too deeply" in refused
    with pytest.raises(kestrol.CaseError) as by_mapping:
        kestrol.size(case)
    # A mapping has no lines, and no text to find a key in: the file's reason alone.
    assert str(by_mapping.value) == "case: " + refused[refused.index("nests too deeply"):]


def test_non_finite_and_unreadable_inputs(cli):
    with pytest.raises(kestrol.CaseError, match="must be a finite number"):
        kestrol.size({**NO_LIQUID_WITHOUT_SHARE, "pressure_kPa": math.inf})
    with pytest.raises(kestrol.CaseError, match="must be a number, not object"):
        kestrol.size({**NO_LIQUID_WITHOUT_SHARE, "pressure_kPa": {"a": 1}})
    missing = REPO / "no-such-case.json"
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.size(missing)
    assert str(raised.value) == cli("size", missing, check_status=2).stderr.strip()
    with pytest.raises(TypeError):
        kestrol.size(42)


@pytest.mark.parametrize("case", EXAMPLE_CASES, ids=lambda p: p.stem)
def test_findings_are_the_documents_review_and_without_it_every_sized_number_stays(case):
    reviewed = kestrol.size(case)
    plain = kestrol.size(case, review=False)
    document, bare = reviewed.to_dict(), plain.to_dict()
    findings = reviewed.findings
    assert findings[0]["code"] == "governing" and findings[0]["text"] == document["governing"]["text"]
    assert findings[0]["values"]["diameter"] == document["governing"]["diameter"]
    assert findings[1:] == document["review"] and all(f["values"] for f in findings[1:])
    assert "Review\n" in reviewed.report() and findings[0]["text"] in reviewed.report()
    # Without the review: its keys stay in the schema's shape, empty; nothing else moves. The
    # vessel weight is a result of the sizing: the same number with the review or without, and
    # the one the review's weight-and-cost note quotes.
    assert plain.findings is None and not plain.reviewed
    assert bare["governing"] is None and bare["review"] == []
    assert plain.vessel_weight_kg is not None and plain.vessel_weight_kg > 0
    assert plain.vessel_weight_kg == reviewed.vessel_weight_kg
    assert bare["mechanical"]["vessel_weight"]["value"] == plain.vessel_weight_kg
    quoted = next(f for f in findings if f["code"] == "weight-and-cost")["values"]["vessel_weight"]["value"]
    assert plain.vessel_weight_kg == pytest.approx(quoted, rel=1e-12)
    for key in ("governing", "review"):
        document.pop(key), bare.pop(key)
    assert bare == document
    assert numpy.array_equal(plain.vector, reviewed.vector, equal_nan=True)
    assert "Review" not in plain.report() and "Vessel weight" in plain.report()
    assert [line for line in plain.report().splitlines() if "Vessel weight" in line] == \
        [line for line in reviewed.report().splitlines() if "Vessel weight" in line]
    assert plain.report().splitlines()[-1] == reviewed.report().splitlines()[-1]


def test_the_scrubber_shows_its_low_level_warning_in_the_notebook():
    sizing = kestrol.size(REPO / "examples" / "cases" / "gas_scrubber_vertical.json")
    warning = next(f for f in sizing.findings if f["code"] == "level-below-minimum")
    assert warning["severity"] == "warning" and warning["text"] in sizing.report()
    shown = sizing._repr_html_()
    assert "level-below-minimum" in shown and "Review" in shown
    assert "level-below-minimum" not in kestrol.size(sizing.source, review=False)._repr_html_()


def test_notebook_display_holds_the_table_and_the_drawing():
    sizing = kestrol.size(EXAMPLE_CASES[0])
    shown = sizing._repr_html_()
    assert "<table>" in shown and "<svg" in shown and "inside diameter" in shown
    assert sizing._repr_svg_() == sizing.svg()
    assert "mapping" in kestrol.size.__doc__ and "DataFrame" in kestrol.size_many.__doc__


def test_the_type_stub_names_every_result_attribute():
    stub = (REPO / "python" / "kestrol" / "_kestrol.pyi").read_text()
    names = kestrol.RESULT_NAMES + kestrol.LEVEL_NAMES
    missing = [c for c in names if f"    {c}: Optional[float]\n" not in stub]
    assert not missing and all(hasattr(kestrol.Sizing, name) for name in names)


def test_level_set_points_are_the_documents_on_every_route(tmp_path):
    """The levels block (or flat level columns) reaches the ladder by every route; the set points
    on Sizing, in the document and in a batch's columns are the same numbers."""
    case = json.loads((REPO / "examples" / "cases" / "gas_scrubber_vertical.json").read_text())
    case["design"] = {"light_liquid_layer_m": 1.2}
    case["levels"] = {"surge_time_s": 90.0, "alarm_margin_m": 0.05}
    sizing = kestrol.size(case)
    document = sizing.to_dict()
    assert list(document["levels"]) == ["HHLL", "HLL", "NLL", "LLL", "LLLL", "HIL", "NIL", "LIL"]
    assert document["levels"]["NIL"] is None and sizing.nil_m is None
    assert sizing.nll_m == pytest.approx(1.2) and document["levels"]["NLL"]["value"] == sizing.nll_m
    assert sizing.surge_time_s == pytest.approx(90.0) and document["level_times"]["surge"]["value"] == sizing.surge_time_s
    flat = {key: value for key, value in case.items() if key not in ("design", "levels")}
    flat.update(light_liquid_layer_m=1.2, surge_time_s=90.0, alarm_margin_m=0.05)
    path = tmp_path / "levels.csv"
    pd.DataFrame([flat]).to_csv(path, index=False)
    for out in (kestrol.size_many([case]), kestrol.size_many(pd.DataFrame([flat])), kestrol.size_many(path)):
        row = out.iloc[0]
        for column, name in zip(kestrol.LEVEL_COLUMNS, kestrol.LEVEL_NAMES):
            expected = getattr(sizing, name)
            assert (pd.isna(row[column]) if expected is None else row[column] == pytest.approx(expected, rel=1e-12)), column
    series = sizing.to_series()
    assert series["hhll_m_used"] == sizing.hhll_m
    # A pickled Sizing keeps its levels block, not the defaults' ladder.
    back = pickle.loads(pickle.dumps(sizing))
    assert [getattr(back, name) for name in kestrol.LEVEL_NAMES] == [getattr(sizing, name) for name in kestrol.LEVEL_NAMES]
    assert back.surge_time_s == pytest.approx(90.0)


def test_a_levels_block_is_checked_as_the_command_line_checks_it():
    case = json.loads((REPO / "examples" / "cases" / "gas_scrubber_vertical.json").read_text())
    case["levels"] = {"surge_tim_s": 90.0}
    with pytest.raises(kestrol.CaseError, match='did you mean "surge_time_s"'):
        kestrol.size(case)
