"""The settling and nozzle results on every route: a Sizing's attributes, a frame's, a list of
mappings' and a CSV batch's columns, and a pickled Sizing, all from the same inputs."""
import math
import pickle

import pandas as pd
import pytest

import kestrol

PRODUCTION = {"orientation": "horizontal", "pressure_kPa": 1200, "temperature_C": 55, "vapour_mass_flow_kg_h": 25000,
              "vapour_density_kg_m3": 9.5, "light_liquid_mass_flow_kg_h": 90000, "light_liquid_density_kg_m3": 830,
              "heavy_liquid_mass_flow_kg_h": 40000, "heavy_liquid_density_kg_m3": 1020, "vapour_viscosity_Pa_s": 1.5e-5,
              "light_liquid_viscosity_Pa_s": 3.07e-3, "heavy_liquid_viscosity_Pa_s": 5.47e-4, "inlet_device": "half_pipe"}


def _same(a, b):
    return (a is None or (isinstance(a, float) and math.isnan(a))) and (b is None or math.isnan(b)) or a == b


def test_a_sizing_has_each_settling_column_as_an_attribute():
    s = kestrol.size(PRODUCTION)
    assert all(getattr(s, name) is not None for name in kestrol.SETTLING_COLUMNS)
    document = s.to_dict()
    assert s.vapour_cut_size_um == document["settling"]["vapour_cut_size"]["value"]
    assert s.inlet_nozzle_in == document["nozzles"][0]["nominal_size"]["value"]
    bare = kestrol.size({k: v for k, v in PRODUCTION.items() if "viscosity" not in k})
    assert bare.vapour_cut_size_um is None and bare.inlet_nozzle_in is not None
    assert "settling-not-checked" in [f["code"] for f in bare.findings]


@pytest.mark.parametrize("route", ["frame", "mappings", "csv"])
def test_every_batch_route_gives_the_sizings_columns(route, tmp_path):
    rows = [PRODUCTION, dict(PRODUCTION, inlet_device="vane", light_liquid_viscosity_Pa_s=None)]
    if route == "frame":
        out = kestrol.size_many(pd.DataFrame(rows))
    elif route == "mappings":
        out = pd.DataFrame(kestrol.size_many(rows))
    else:
        path = tmp_path / "rows.csv"
        pd.DataFrame(rows).to_csv(path, index=False)
        out = kestrol.size_many(path)
    start = list(out.columns).index(kestrol.SETTLING_COLUMNS[0])
    assert list(out.columns[start:start + len(kestrol.SETTLING_COLUMNS)]) == kestrol.SETTLING_COLUMNS
    for r, case in enumerate(rows):
        one = kestrol.size({k: v for k, v in case.items() if v is not None})
        for name in kestrol.SETTLING_COLUMNS:
            assert _same(getattr(one, name), out[name].iloc[r]), (route, r, name)
    assert math.isnan(out["heavy_in_light_cut_size_um"].iloc[1])


def test_a_refused_element_is_that_rows_bad_input():
    out = kestrol.size_many(pd.DataFrame([PRODUCTION, dict(PRODUCTION, mist_eliminator="wire")]))
    assert list(out["status"]) == ["sized", "bad input"]
    assert "mist_eliminator" in out["message"].iloc[1]


def test_a_pickled_sizing_keeps_its_settling_inputs():
    s = kestrol.size(dict(PRODUCTION, mist_eliminator="mesh"))
    back = pickle.loads(pickle.dumps(s))
    assert [getattr(back, n) for n in kestrol.SETTLING_COLUMNS] == [getattr(s, n) for n in kestrol.SETTLING_COLUMNS]
    assert back.report() == s.report()
