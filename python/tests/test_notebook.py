"""The case-study notebook runs headless; its plot is kept as a PNG in the build folder."""
import base64
import os
import pathlib

import pytest

import kestrol
from conftest import REPO

nbclient = pytest.importorskip("nbclient")
nbformat = pytest.importorskip("nbformat")

NOTEBOOK = REPO / "examples" / "notebooks" / "case_study.ipynb"


def test_the_case_study_runs_and_shows_its_plot_and_vessel(monkeypatch):
    package_root = os.path.dirname(os.path.dirname(kestrol.__file__))
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, [package_root, os.environ.get("PYTHONPATH")])))
    notebook = nbformat.read(NOTEBOOK, as_version=4)
    nbclient.NotebookClient(notebook, timeout=300, kernel_name="python3", resources={"metadata": {"path": str(NOTEBOOK.parent)}}).execute()
    outputs = [o for cell in notebook.cells if cell.cell_type == "code" for o in cell.outputs]
    assert not [o for o in outputs if o.output_type == "error"]
    pngs = [o.data["image/png"] for o in outputs if "image/png" in o.get("data", {})]
    assert len(pngs) == 1
    png = base64.b64decode(pngs[0])
    assert png.startswith(b"\x89PNG")
    # <build>/python/kestrol/__init__.py: the plot goes to <build>/case_study.png
    (pathlib.Path(kestrol.__file__).resolve().parents[2] / "case_study.png").write_bytes(png)
    shown = [o.data["text/html"] for o in outputs if "text/html" in o.get("data", {})]
    assert any("<svg" in html and "Vertical separator at 200 t/h" in html for html in shown)
    # The review inline: the vessel's findings as a table, the governing line first.
    vessel = kestrol.size({"name": "Vertical separator at 200 t/h", "orientation": "vertical", "vapour_mass_flow_kg_h": 200000.0,
                           "pressure_kPa": 3000.0, "temperature_C": 40.0, "vapour_density_kg_m3": 25.0,
                           "light_liquid_mass_flow_kg_h": 5000.0, "light_liquid_density_kg_m3": 780.0})
    governing = vessel.findings[0]["text"]
    assert any("<table" in html and "<svg" not in html and governing in html for html in shown)
