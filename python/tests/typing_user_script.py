"""A user's script over every documented call, for mypy --strict: the package's types must let
it through without a cast or an ignore. The tests also run it, so that it stays a real script."""
from __future__ import annotations

import json
import pathlib
import pickle
from typing import Any, Dict, List, Optional

import pandas as pd

import kestrol
import kestrol.dask

CASE: Dict[str, Any] = {
    "name": "Compressor suction scrubber, two-phase", "orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
    "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720,
}
EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def one_case() -> float:
    s: kestrol.Sizing = kestrol.size(CASE)
    from_file = kestrol.size(EXAMPLES / "cases" / "gas_scrubber_vertical.json", review=False)
    assert s.sized and from_file.findings is None and s.problem is None
    diameter: Optional[float] = s.inside_diameter_m
    high: Optional[float] = s.hhll_m
    assert high is not None and s.holdup_time_s is not None
    document: Dict[str, Any] = s.to_dict("us")
    findings: Optional[List[Dict[str, Any]]] = s.findings
    text: str = s.report("us") + s.svg() + s.datasheet()
    assert diameter is not None and findings and document["sized"] and text and s.total_cost_USD is not None
    from_text = kestrol.size(json.dumps(CASE))
    again: kestrol.Sizing = pickle.loads(pickle.dumps(s))
    row = s.to_series()
    review = kestrol.findings_frame([s, from_text])
    assert again.inside_diameter_m == from_text.inside_diameter_m == row["inside_diameter_m"] and len(review) > 0
    try:
        kestrol.size(EXAMPLES / "no_such_case.json")
    except kestrol.CaseFileNotFoundError as e:
        assert isinstance(e, FileNotFoundError) and e.filename
    return s.total_cost_USD + len(s.vector) + (s.vessel_weight_kg or 0.0)


def many_cases() -> int:
    frame = kestrol.size_many(pd.DataFrame([CASE] * 3), jobs=2)
    first = frame.head(1)
    rows = kestrol.size_many([CASE, CASE], review=False)
    batch = kestrol.size_many(EXAMPLES / "batch" / "cases.csv")
    columns: List[str] = kestrol.RESULT_COLUMNS + kestrol.SETTLING_COLUMNS + kestrol.LEVEL_COLUMNS + kestrol.REVIEW_COLUMNS
    levels: List[str] = kestrol.LEVEL_NAMES + kestrol.LEVEL_KEYS
    assert len(levels) > 0
    names: List[str] = kestrol.RESULT_NAMES
    design: List[str] = [key.name for key in kestrol.CASE_KEYS if key.design]
    assert len(names) == len(kestrol.RESULT_COLUMNS) and "cost_index" in design
    lazy = kestrol.dask.size_frame
    assert len(columns) > 0 and callable(lazy)
    return len(first) + len(rows) + len(batch)


def the_object() -> float:
    o = kestrol.SizingObject()
    o.set_pressure(3500.0)
    o.set_temperature(35.0)
    o.set_vapour_mass_flow(60000.0)
    o.set_vapour_density(28.0)
    o.set_light_liquid_mass_flow(1500.0)
    o.set_light_liquid_density(720.0)
    o.set_auxiliary_value1(1.0)
    o.set_orientation(0)
    o.property_callback = lambda code: {0: 2.0, 1: 650.0}[code]  # asked only for a feed with no liquid
    kestrol.check(o.calculate())
    try:
        kestrol.check(kestrol.SIZING_E_NOVAPOUR)
    except kestrol.SizingError as e:
        assert e.hresult == kestrol.SIZING_E_NOVAPOUR and e.sentence
    diameter: float = o.get_value(kestrol.Slot.Diameter)
    o.set_value(diameter, kestrol.Slot.Diameter)
    assert diameter != kestrol.EMPTY_VALUE
    return diameter + float(o.vector[kestrol.Slot.OverallLength])


def scripts() -> Dict[str, Any]:
    try:
        kestrol.size({"pressure_kPa": "3500"})
    except kestrol.CaseError as e:
        assert str(e)
    return kestrol.run_script({"calls": [["ClearValues"], ["GetValue", 1]]})


if __name__ == "__main__":
    print(one_case(), many_cases(), the_object(), sorted(scripts()))
