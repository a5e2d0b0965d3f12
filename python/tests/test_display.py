"""The notebook's display writes every number as the text report does."""
import html
import re

import pytest

import kestrol
from conftest import REPO

# The report's label, the display's row for the same number.
ROWS = {
    "Vapour flow": "vapour mass flow", "Light liquid flow": "light liquid mass flow", "Light liquid density": "light liquid density",
    "Heavy liquid flow": "heavy liquid mass flow", "Pressure": "pressure", "Temperature": "temperature",
    "Inside diameter": "inside diameter", "Overall height": "overall length", "Overall length": "overall length",
    "T/T height / diameter": "length to diameter ratio", "T/T length / diameter": "length to diameter ratio",
    "Light liquid residence": "light liquid residence time", "Minimum liquid level": "minimum liquid level",
    "Allowable velocity": "allowable vapour velocity", "Allowable stress": "allowable stress", "Material density": "material density",
    "Corrosion allowance": "corrosion allowance", "Joint efficiency": "joint efficiency", "Wall thickness": "wall thickness",
    "Vessel weight": "vessel weight", "Vessel": "vessel cost", "Total": "total cost", "Cost index": "cost index",
}
# Labels and numbers start in these columns of a report line.
LABEL, VALUE = 26, 40


def _report_numbers(text):
    """{label: "number unit"} for the report's lines that carry a number."""
    numbers = {}
    for line in text.splitlines():
        label, value = line[:LABEL].strip(), line[LABEL:VALUE].strip()
        if line.startswith("  ") and label in ROWS and re.fullmatch(r"-?[\d,]+(\.\d+)?", value):
            rest = line[VALUE:]
            unit = rest[1:].split("  ")[0] if rest.startswith(" ") and not rest.startswith("  ") else ""
            numbers[label] = f"{value} {unit}".strip()
    return numbers


def _display_cells(shown):
    return {html.unescape(key): html.unescape(cell) for key, cell in re.findall(r"<tr><td>([^<]*)</td><td>([^<]*)</td></tr>", shown)}


@pytest.mark.parametrize("case", ["gas_scrubber_vertical", "production_separator_horizontal"])
@pytest.mark.parametrize("units", ["si", "us"])
def test_the_display_shows_the_numbers_the_text_report_shows(cli, case, units):
    path = f"examples/cases/{case}.json"
    report = cli("size", path, "--units", units, check_status=0).stdout
    numbers = _report_numbers(report)
    assert len(numbers) >= 15, report  # the table has matched the report's layout
    sizing = kestrol.size(REPO / path)
    shown = kestrol._html(sizing, units) if units != "si" else sizing._repr_html_()
    cells = _display_cells(shown)
    for label, number in numbers.items():
        cell = cells[ROWS[label]]
        assert re.sub(r" \((given|default)\)$", "", cell) == number, (label, cell, number)
    assert not [cell for cell in cells.values() if re.search(r"\de[+-]\d", cell)]


def test_the_scrubber_shows_60000_kg_h_and_its_cost_in_whole_dollars():
    sizing = kestrol.size(REPO / "examples" / "cases" / "gas_scrubber_vertical.json")
    cells = _display_cells(sizing._repr_html_())
    assert cells["vapour mass flow"] == "60,000 kg/h (given)"
    assert re.fullmatch(r"\d{1,3}(,\d{3})+ USD", cells["total cost"])
