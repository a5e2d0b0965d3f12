"""Sizing as a Python value: pickled and copied, its vector by slot number, its document made
once, quantities for keys, and the smaller conventions of size() and SizingObject."""
import concurrent.futures
import copy
import json
import pickle
import sys

import numpy
import pytest

import kestrol

SCRUBBER = {
    "name": "scrubber", "orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
    "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
    "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720,
}
HORIZONTAL = {**SCRUBBER, "name": "drum", "tag": "V-201", "service": "Test drum", "revision": "C",
              "orientation": "horizontal", "heavy_liquid_mass_flow_kg_h": 800,
              "heavy_liquid_density_kg_m3": 1000, "design": {"cost_index": 600}}
NOT_SIZED = {"orientation": "horizontal", "pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 1e14,
             "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1e12, "light_liquid_density_kg_m3": 720}
# The mechanical keys live beside the case's numbers: a copy must keep them too.
AT_DESIGN = {**SCRUBBER, "name": "stainless", "material": "SA-240-316", "design_pressure_kPa": 5000, "design_temperature_C": 120,
             "radiography": "spot", "corrosion_allowance_mm": 1.5}
CASES = [SCRUBBER, HORIZONTAL, NOT_SIZED, AT_DESIGN]


def same_sizing(a, b):
    assert (a.name, a.source, a.sized, a.status, a.problem, a.hresult, a.orientation, a.reviewed) == \
        (b.name, b.source, b.sized, b.status, b.problem, b.hresult, b.orientation, b.reviewed)
    assert numpy.array_equal(a.vector, b.vector, equal_nan=True)
    assert a.to_dict() == b.to_dict() and a.report("us") == b.report("us")
    assert all(getattr(a, name) == getattr(b, name) for name in kestrol.RESULT_NAMES + kestrol.MECHANICAL_NAMES)
    assert not a.sized or a.datasheet() == b.datasheet()  # the title block comes along


@pytest.mark.parametrize("review", [True, False])
@pytest.mark.parametrize("case", CASES, ids=lambda c: c.get("name", "not sized"))
def test_a_sizing_survives_pickle_and_deepcopy(case, review):
    sizing = kestrol.size(case, review=review)
    sizing.to_dict()  # a made document is not part of what is pickled
    for again in (pickle.loads(pickle.dumps(sizing)), copy.deepcopy(sizing), copy.copy(sizing)):
        assert again is not sizing
        same_sizing(again, sizing)


def test_the_mechanical_keys_set_the_design_at_design_conditions():
    plain, given = kestrol.size(SCRUBBER), kestrol.size(AT_DESIGN)
    assert plain.wall_thickness_m == given.wall_thickness_m  # the object's wall is its own
    assert given.design_pressure_kPa == 5000 and given.mawp_kPa >= 5000
    assert given.design_shell_thickness_m != plain.design_shell_thickness_m
    assert given.to_dict()["mechanical_design"]["material"] == "SA-240-316"
    assert given.to_dict()["mechanical_design"]["joint_efficiency"] == 0.85


def test_size_many_reads_the_mechanical_keys_on_every_route():
    pandas = pytest.importorskip("pandas")
    one = kestrol.size(AT_DESIGN)
    rows = [AT_DESIGN, {**AT_DESIGN, "material": "A36"}]
    for given in (rows, pandas.DataFrame(rows)):
        out = kestrol.size_many(given, jobs=1)
        assert out.loc[0, "mawp_kPa"] == one.mawp_kPa and out.loc[0, "design_vessel_cost_USD"] == one.design_vessel_cost_USD
        assert out.loc[1, "status"] == "bad input" and "material" in out.loc[1, "message"]


# The plate grade used at design conditions: given, from the material code, none for aluminium, none unsized.
MATERIAL_ROWS = [(AT_DESIGN, "SA-240-316"), ({**SCRUBBER, "design": {"material_code": 2}}, "SA-240-304"),
                 ({**SCRUBBER, "design": {"material_code": 4}}, None), (NOT_SIZED, None)]


@pytest.mark.parametrize("route", ["mappings", "frame", "mappings without pandas"])
def test_the_design_material_column_is_the_grade_each_case_used(monkeypatch, route):
    pandas = pytest.importorskip("pandas")
    rows = [case for case, _ in MATERIAL_ROWS]
    for case, grade in MATERIAL_ROWS:
        assert kestrol.size(case).design_material == grade
    if route == "mappings without pandas":
        monkeypatch.setattr(kestrol, "_pandas", lambda: None)
    given = pandas.DataFrame([{k: v for k, v in case.items() if k != "design"} | case.get("design", {}) for case in rows]) \
        if route == "frame" else rows
    out = kestrol.size_many(given, jobs=2)
    column = [row["design_material_used"] for row in out] if route == "mappings without pandas" else list(out["design_material_used"])
    assert column == [grade or "" for _, grade in MATERIAL_ROWS]


def test_a_pickled_vector_the_case_does_not_size_to_is_refused():
    sizing = kestrol.size(SCRUBBER)
    state = list(sizing.__getstate__())
    state[5] = list(state[5])
    state[5][int(kestrol.Slot.Diameter)] += 1.0
    with pytest.raises(ValueError, match="sizes its case differently"):
        kestrol.Sizing.__new__(kestrol.Sizing).__setstate__(tuple(state))


def test_sizings_come_back_from_worker_processes():
    with concurrent.futures.ProcessPoolExecutor(max_workers=2) as pool:
        returned = list(pool.map(kestrol.size, CASES))
    for case, sizing in zip(CASES, returned):
        same_sizing(sizing, kestrol.size(case))


def dry_gas_object():
    o = kestrol.SizingObject()
    for setter, value in [("set_pressure", 3500.0), ("set_temperature", 35.0), ("set_vapour_mass_flow", 60000.0),
                          ("set_vapour_density", 28.0), ("set_light_liquid_mass_flow", 1500.0),
                          ("set_light_liquid_density", 720.0), ("set_auxiliary_value1", 1.0)]:
        getattr(o, setter)(value)
    o.set_orientation(0)
    assert kestrol.check(o.calculate()) == 0
    return o


@pytest.mark.parametrize("make, value_of", [
    (lambda: kestrol.size(SCRUBBER), lambda s, slot: s.vector[slot]),
    (dry_gas_object, lambda o, slot: o.get_value(slot)),
], ids=["Sizing", "SizingObject"])
def test_the_vector_is_indexed_by_slot_number(make, value_of):
    vector = make().vector
    assert type(vector) is numpy.ndarray and vector.dtype == numpy.float64 and vector.shape == (kestrol._kestrol.SLOT_COUNT + 1,)
    assert numpy.isnan(vector[0])
    holder = make()
    for slot in kestrol.Slot:
        assert vector[slot] == value_of(holder, slot), slot.name
    with pytest.raises(ValueError):
        vector[kestrol.Slot.Diameter] = 1.0


def test_the_slots_of_a_sizing_are_its_results():
    sizing = kestrol.size(SCRUBBER)
    assert abs(sizing.vector[kestrol.Slot.Diameter]) == sizing.inside_diameter_m
    assert abs(sizing.vector[kestrol.Slot.OverallLength]) == sizing.overall_length_m
    # The object's vector gives the same slots for the same feed.
    assert numpy.array_equal(dry_gas_object().vector[1:], sizing.vector[1:], equal_nan=True)
    assert len(kestrol.SizingObject().vector) == 0  # before the vector exists


def test_the_document_is_made_once_and_callers_get_their_own_copies():
    sizing = kestrol.size(HORIZONTAL)
    assert sizing._json("si") is sizing._json("SI") and sizing._json("us") is sizing._json("US")
    assert sizing._json("si") is not sizing._json("us")
    document = sizing.to_dict()
    document["vessel"].clear()
    assert sizing.to_dict()["vessel"] and sizing.to_dict() is not sizing.to_dict()
    findings = sizing.findings
    assert findings and findings[0]["code"] == "governing"
    kept = copy.deepcopy(findings)
    findings[0]["values"].clear()
    findings.append(None)
    assert sizing.findings == kept


def test_findings_are_read_from_the_review_once(monkeypatch):
    sizing = kestrol.size(HORIZONTAL)
    first = sizing.findings
    monkeypatch.setattr(kestrol.Sizing, "to_dict", lambda *args: pytest.fail("the document was read again"))
    assert sizing.findings == first


def test_to_series_is_the_batch_row_of_the_case():
    pandas = pytest.importorskip("pandas")
    for case in CASES:
        series = kestrol.size(case).to_series()
        row = kestrol.size_many([case], jobs=1).iloc[0]
        tail = row.iloc[len(row) - len(kestrol._BATCH_TAIL):]  # by position: an input may repeat a result's name
        assert list(series.index) == ["name"] + [c for c in kestrol._BATCH_TAIL if c not in kestrol.REVIEW_COLUMNS]
        assert series["name"] == case.get("name", "")
        for column, expected in zip(kestrol._BATCH_TAIL, tail):
            if column not in kestrol.REVIEW_COLUMNS:
                got = series[column]
                assert (expected == got) or (pandas.isna(expected) and pandas.isna(got)), column


FOUR = [SCRUBBER, NOT_SIZED, HORIZONTAL, SCRUBBER]  # the last is sized without the review


@pytest.mark.parametrize("wrap, labels", [
    (list, [0, 1, 2, 3]),
    (lambda sizings: dict(zip("abcd", sizings)), list("abcd")),
    ("Series", [10, 20, 30, 40]),
], ids=["list", "dict", "Series"])
def test_findings_frame_has_a_row_per_finding_under_its_case(wrap, labels):
    pandas = pytest.importorskip("pandas")
    sizings = [kestrol.size(case, review=i < 3) for i, case in enumerate(FOUR)]
    given = pandas.Series(sizings, index=labels) if wrap == "Series" else wrap(sizings)
    frame = kestrol.findings_frame(given)
    assert list(frame.columns) == ["name", "code", "severity", "text", "values"] and frame.index.name == "case"
    assert len(frame) == len(sizings[0].findings) + len(sizings[2].findings)
    assert set(frame.index) == {labels[0], labels[2]}  # not sized and unreviewed cases have none
    drum = frame.loc[[labels[2]]]
    assert list(drum["code"]) == [f["code"] for f in sizings[2].findings] and set(drum["name"]) == {"drum"}
    assert list(drum["text"]) == [f["text"] for f in sizings[2].findings]


BAR = None


def ureg():
    pint = pytest.importorskip("pint")
    global BAR
    if BAR is None:
        BAR = pint.UnitRegistry()
    return BAR


@pytest.mark.parametrize("key, quantity, number", [
    ("pressure_kPa", lambda u: 35 * u.bar, 3500.0),
    ("temperature_C", lambda u: u.Quantity(308.15, "K"), 35.0),
    ("temperature_C", lambda u: u.Quantity(95.0, "degF"), 35.0),
    ("vapour_mass_flow_kg_h", lambda u: 60 * u.t / u.h, 60000.0),
    ("vapour_density_kg_m3", lambda u: 0.028 * u.g / u.cm ** 3, 28.0),
    ("diameter_m", lambda u: 1800 * u.mm, 1.8),
    ("light_liquid_residence_time_s", lambda u: 5 * u.minute, 300.0),
    ("allowable_vapour_velocity_m_s", lambda u: 30 * u.cm / u.s, 0.3),
    ("assumed_liquid_percent", lambda u: 0.02 * u.dimensionless, 2.0),
    ("joint_efficiency", lambda u: 0.85 * u.dimensionless, 0.85),
])
def test_a_quantity_is_taken_in_the_unit_its_key_names(key, quantity, number):
    assert kestrol._plain_value(key, quantity(ureg())) == pytest.approx(number, rel=1e-12)


def test_quantities_size_as_their_numbers_do():
    u = ureg()
    given = {**HORIZONTAL, "pressure_kPa": 35 * u.bar, "vapour_mass_flow_kg_h": 60 * u.t / u.h,
             "design": {"cost_index": 600 * u.dimensionless, "diameter_m": 1800 * u.mm}}
    plain = {**HORIZONTAL, "design": {"cost_index": 600, "diameter_m": 1.8}}
    assert kestrol.size(given).to_dict() == kestrol.size(plain).to_dict()
    assert isinstance(given["pressure_kPa"], u.Quantity)  # the caller's mapping is left as it was


@pytest.mark.parametrize("key, quantity", [
    ("pressure_kPa", lambda u: 3 * u.m),
    ("temperature_C", lambda u: 35 * u.kg),
    ("design.diameter_m", lambda u: 2 * u.s),
    ("joint_efficiency", lambda u: 0.85 * u.m),
])
def test_a_quantity_of_the_wrong_dimension_is_a_case_error_naming_its_key(key, quantity):
    u = ureg()
    inner = key.split(".")[-1]
    case = {**SCRUBBER, "design": {inner: quantity(u)}} if key.startswith("design.") else {**SCRUBBER, key: quantity(u)}
    with pytest.raises(kestrol.CaseError, match=f"^{inner}: ") as raised:
        kestrol.size(case)
    assert raised.value.__cause__ is None and raised.value.__suppress_context__


class FakeQuantity:
    magnitude, units = 35.0, "bar"

    def to(self, unit):
        raise AssertionError("not reached without pint")


def test_a_quantity_without_pint_is_a_case_error_naming_its_key(monkeypatch):
    monkeypatch.setitem(sys.modules, "pint", None)  # import pint now fails
    with pytest.raises(kestrol.CaseError, match="^pressure_kPa: .*needs pint"):
        kestrol.size({**SCRUBBER, "pressure_kPa": FakeQuantity()})


def test_a_missing_case_file_is_file_not_found_with_the_command_lines_sentence(cli, tmp_path):
    missing = tmp_path / "absent.json"
    refused = cli("size", missing, check_status=2).stderr.strip()
    with pytest.raises(FileNotFoundError) as raised:
        kestrol.size(missing)
    assert isinstance(raised.value, kestrol.CaseError) and str(raised.value) == refused
    assert raised.value.filename == str(missing)
    bad = tmp_path / "bad.json"
    bad.write_text("{")
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.size(bad)
    assert not isinstance(raised.value, FileNotFoundError)
    for read in (kestrol.size_many, kestrol.run_script):  # a batch and a script read their file the same way
        with pytest.raises(kestrol.CaseFileNotFoundError) as raised:
            read(tmp_path / "absent.csv")
        assert raised.value.filename == str(tmp_path / "absent.csv")


def test_json_text_sizes_as_the_mapping_and_is_read_as_a_case_file_is(cli, tmp_path):
    text = json.dumps(SCRUBBER, indent=1)
    assert kestrol.size(text).to_dict() == {**kestrol.size(SCRUBBER).to_dict(), "source": "case"}
    broken = text.replace('"pressure_kPa": 3500', '"pressure_kPa": -3500')
    path = tmp_path / "case.json"
    path.write_text(broken)
    refused = cli("size", path, check_status=2).stderr.strip()
    with pytest.raises(kestrol.CaseError) as raised:
        kestrol.size(broken)
    # The file's sentence, line and column, under the text's source name.
    assert str(raised.value) == refused.replace(str(path), "case", 1) and "case:" in str(raised.value)


@pytest.mark.parametrize("call", [
    lambda s, word: s.report(word), lambda s, word: s.svg(word), lambda s, word: s.to_dict(word),
    lambda s, word: s.datasheet(word),
], ids=["report", "svg", "to_dict", "datasheet"])
def test_units_are_read_in_any_case_as_the_orientation_is(call):
    sizing = kestrol.size(SCRUBBER)
    assert call(sizing, "US") == call(sizing, "us") and call(sizing, "Si") == call(sizing, "si")
    assert kestrol.size({**SCRUBBER, "orientation": "Vertical"}).to_dict() == sizing.to_dict()
    with pytest.raises(ValueError, match="si.*us"):
        call(sizing, "metric")


@pytest.mark.parametrize("slot", [0, -1, kestrol._kestrol.SLOT_COUNT + 1, 1000])
def test_get_value_outside_the_slots_is_an_index_error(slot):
    o = dry_gas_object()
    with pytest.raises(IndexError, match="1 to 39"):
        o.get_value(slot)
    assert o.get_value(1) == o.vector[1] and o.get_value(kestrol._kestrol.SLOT_COUNT) == o.vector[-1]


def test_no_vapour_because_auxiliary_value1_was_not_set_says_so():
    o = kestrol.SizingObject()
    for setter, value in [("set_pressure", 3500.0), ("set_temperature", 35.0), ("set_vapour_mass_flow", 60000.0),
                          ("set_vapour_density", 28.0)]:
        getattr(o, setter)(value)
    o.set_orientation(0)
    hr = o.calculate()
    assert hr == kestrol.SIZING_E_NOVAPOUR
    with pytest.raises(kestrol.SizingError) as raised:
        kestrol.check(hr)
    assert "AuxiliaryValue1" in raised.value.sentence and "vapour_mass_flow_kg_h" in raised.value.sentence
