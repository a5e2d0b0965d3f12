"""size_many() against the command line's CSV batch, and the batch engine without the GIL."""
import csv
import io
import json
import math
import threading
import time

import numpy as np
import pandas as pd
import pytest

import kestrol
from conftest import BATCH, EXAMPLE_CASES


def cli_rows(cli, path):
    done = cli("size", path)
    rows = list(csv.reader(io.StringIO(done.stdout, newline="")))
    return rows[0], rows[1:]


def same_cell(cli_text, ours):
    if cli_text == "":
        return ours is None or ours == "" or (isinstance(ours, float) and math.isnan(ours))
    try:
        return float(cli_text) == float(ours)
    except (TypeError, ValueError):
        return cli_text == ours


def assert_equal_to_cli(header, rows, frame):
    assert list(frame.columns) == header
    assert len(frame) == len(rows)
    values = frame.to_numpy(dtype=object)
    for r, row in enumerate(rows):
        for c, text in enumerate(row):
            assert same_cell(text, values[r][c]), (r, header[c], text, values[r][c])


@pytest.fixture(scope="module")
def bundled(cli):
    return cli_rows(cli, BATCH)


@pytest.mark.parametrize("route", ["path", "frame", "frame one job"])
def test_bundled_batch_equals_the_command_line_number_for_number(bundled, route):
    header, rows = bundled
    if route == "path":
        frame = kestrol.size_many(BATCH)
    else:
        frame = kestrol.size_many(pd.read_csv(BATCH), jobs=1 if route == "frame one job" else None)
    assert_equal_to_cli(header, rows, frame)
    assert (frame["status"] == "sized").all()


@pytest.mark.parametrize("route", ["path", "frame", "mappings"])
def test_every_column_has_a_name_of_its_own(tmp_path, route):
    case = {"name": "given", "orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35, "vapour_mass_flow_kg_h": 60000,
            "vapour_density_kg_m3": 28, "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720, "cost_index": 500.0,
            "material_code": 2.0}
    nested = {key: value for key, value in case.items() if key not in ("cost_index", "material_code")}
    nested["design"] = {"cost_index": 500.0, "material_code": 2.0}
    path = tmp_path / "given.csv"
    pd.DataFrame([case]).to_csv(path, index=False)
    out = {"path": lambda: kestrol.size_many(path), "frame": lambda: kestrol.size_many(pd.DataFrame([case])),
           "mappings": lambda: pd.DataFrame(kestrol.size_many([nested]))}[route]()
    assert out.columns.is_unique
    after = len(kestrol.SETTLING_COLUMNS) + len(kestrol.LEVEL_COLUMNS) + len(kestrol.MECHANICAL_COLUMNS) + len(kestrol.REVIEW_COLUMNS) + 2
    assert list(out.columns[-len(kestrol.RESULT_COLUMNS) - after:-after]) == kestrol.RESULT_COLUMNS
    levels = len(kestrol.MECHANICAL_COLUMNS) + len(kestrol.REVIEW_COLUMNS) + 2
    assert list(out.columns[-len(kestrol.LEVEL_COLUMNS) - levels:-levels]) == kestrol.LEVEL_COLUMNS
    assert (out.loc[0, "cost_index"], out.loc[0, "cost_index_used"]) == (500.0, 500.0)
    assert (out.loc[0, "material_code"], out.loc[0, "material_code_used"]) == (2.0, 2.0)
    # What pandas writes it reads back under the same names.
    assert list(pd.read_csv(io.StringIO(out.to_csv(index=False))).columns) == list(out.columns)


BAD_ROWS = (
    "name,orientation,pressure_kPa,temperature_C,vapour_mass_flow_kg_h,vapour_density_kg_m3,"
    "light_liquid_mass_flow_kg_h,light_liquid_density_kg_m3,diameter_m\n"
    "good,vertical,3500,35,60000,28,1500,720,\n"
    "negative,vertical,3500,35,60000,-28,1500,720,\n"
    "typo,verticle,3500,35,60000,28,1500,720,\n"
    "no liquid share,vertical,3500,35,60000,28,,,\n"
    "text,vertical,3500,35,lots,28,1500,720,\n"
    "unpaired,horizontal,3500,35,60000,28,1500,,\n"
    "tiny vessel,horizontal,3500,35,60000,28,1500,720,0.01\n"
)


def frame_of_csv(text):
    """A frame of a CSV's cells as a user holds them: numbers as numbers, other words as words (a
    frame's word is refused where a number belongs, where the CSV's field is read as text)."""
    frame = pd.read_csv(io.StringIO(text) if isinstance(text, str) else text)
    for name in frame.columns:
        if name not in ("name", "orientation") and frame[name].dtype == object:
            frame[name] = [float(c) if kestrol._kestrol.parse_number(str(c)) is not None else c for c in frame[name]]
    return frame


def frame_message(message):
    """The CSV's message for a word where a number belongs, as a frame's cell gets it."""
    key, sep, rest = message.partition(': "')
    return f'{key}: must be a number, not str "{rest.split(chr(34))[0]}"' if sep and rest.endswith('" is not a number') else message


def test_bad_and_unsized_rows_are_reported_in_their_rows(cli, tmp_path):
    path = tmp_path / "bad.csv"
    path.write_text(BAD_ROWS)
    header, rows = cli_rows(cli, path)
    by_path = kestrol.size_many(path)
    assert_equal_to_cli(header, rows, by_path)
    frame = frame_of_csv(path)
    frame.index = [f"c{i}" for i in range(len(frame))]
    by_frame = kestrol.size_many(frame)
    assert list(by_frame.index) == list(frame.index)
    # Same status and results; the message names the frame's row instead of the file's line.
    status = header.index("status")
    for r, row in enumerate(rows):
        ours = by_frame.iloc[r]
        assert ours["status"] == row[status]
        for c in range(len(frame.columns) + 1, status):
            assert same_cell(row[c], ours.iloc[c]), (r, header[c])
        expected = row[status + 1]
        if row[status] == "bad input":
            expected = f"row c{r}: " + frame_message(expected.split(": ", 1)[1])
        assert ours["message"] == expected


def _duplicate_labels(frame):
    frame.index = [r // 2 for r in range(len(frame))]
    return frame


def _other_dtypes(frame):
    frame["orientation"] = frame["orientation"].astype("category")
    frame["diameter_m"] = frame["diameter_m"].astype("Float64")  # pandas.NA where not given
    frame["pressure_kPa"] = frame["pressure_kPa"].astype(object)
    return frame


def _with_material(frame):
    frame["material_code"] = [2.0, None, 1.0, 5.0, None, 3.0, 2.0]  # given beside the result material_code_used
    return frame


def _strided_columns(frame):
    numbers = frame.select_dtypes("number").columns
    # A frame made from one row-major array holds each column with a stride of a whole row.
    strided = pd.DataFrame(np.ascontiguousarray(frame[numbers].to_numpy()), columns=numbers, index=frame.index)
    for position, name in enumerate(frame.columns):
        if name not in numbers:
            strided.insert(position, name, frame[name])
    assert not strided[numbers[0]].to_numpy().flags.c_contiguous
    return strided


def _orientation_none(frame):
    frame.loc[0, "orientation"] = None  # "auto", as an empty field is, and a load that makes it horizontal
    frame.loc[0, "light_liquid_mass_flow_kg_h"] = 300000.0
    return frame


def _orientation_not_a_word(frame):
    frame.loc[1, "orientation"] = 2  # read as its text, as the CSV holds it
    return frame


@pytest.mark.parametrize("shape", [_duplicate_labels, _other_dtypes, _with_material, _strided_columns, _orientation_none,
                                   _orientation_not_a_word])
def test_a_frame_keeps_its_columns_and_index_and_sizes_as_its_csv(tmp_path, shape):
    frame = shape(frame_of_csv(BAD_ROWS))
    path = tmp_path / "rows.csv"
    frame.to_csv(path, index=False)
    before = frame.copy(deep=True)
    expected = kestrol.size_many(path)
    got = kestrol.size_many(frame)
    pd.testing.assert_frame_equal(frame, before)  # the input is left as it was
    inputs = len(frame.columns)
    assert list(got.columns) == list(expected.columns)
    assert got.index.equals(frame.index)
    # Same columns and cells; a key's numbers as float64, a key column with a word in it as given.
    given = frame.copy()
    for name in given.columns:
        if name in kestrol._CASE_KEYS and not given[name].map(lambda c: isinstance(c, str)).any():
            given[name] = given[name].astype(object).where(given[name].notna(), np.nan).astype(np.float64)
    pd.testing.assert_frame_equal(got.iloc[:, :inputs], given)
    status = list(got.columns).index("status")
    results = got.iloc[:, inputs:status].reset_index(drop=True)
    pd.testing.assert_frame_equal(results, expected.iloc[:, inputs:status], check_dtype=False)
    assert list(got["status"]) == list(expected["status"])
    # Bad input names the frame's row where the CSV names its line; every other message is the same.
    for r in range(len(frame)):
        message = expected["message"].iloc[r]
        if expected["status"].iloc[r] == "bad input":
            message = f"row {frame.index[r]}: " + frame_message(message.split(": ", 1)[1])
        assert got["message"].iloc[r] == message, r


def test_an_empty_frame_gives_the_columns_and_no_rows():
    frame = frame_of_csv(BAD_ROWS).iloc[:0]
    got = kestrol.size_many(frame, review=False)
    assert len(got) == 0
    assert list(got.columns) == list(frame.columns) + ["orientation_used"] + kestrol.RESULT_COLUMNS + kestrol.SETTLING_COLUMNS + kestrol.LEVEL_COLUMNS + kestrol.MECHANICAL_COLUMNS + ["status", "message"]


def test_mappings_size_as_size_does_and_without_pandas_too(monkeypatch, bundled):
    cases = [json.loads(p.read_text()) for p in EXAMPLE_CASES] + [{"pressure_kPa": -1}]
    frame = kestrol.size_many(cases)
    assert list(frame["status"]) == ["sized"] * len(EXAMPLE_CASES) + ["bad input"]
    assert frame["message"].iloc[-1] == 'row 4: pressure_kPa: must be greater than 0, not -1.0'
    start = list(frame.columns).index("orientation_used") + 1
    results = frame.iloc[:, start:start + len(kestrol.RESULT_COLUMNS)]
    assert list(results.columns) == kestrol.RESULT_COLUMNS
    for r, case in enumerate(cases[:-1]):
        one = kestrol.size(case)
        for c, (column, attribute) in enumerate(zip(kestrol.RESULT_COLUMNS, kestrol.RESULT_NAMES)):
            expected = getattr(one, attribute)
            got = results.iloc[r, c]
            assert (expected is None and math.isnan(got)) or expected == got, column
    monkeypatch.setattr(kestrol, "_pandas", lambda: None)
    plain = kestrol.size_many(iter(cases))
    assert isinstance(plain, list) and len(plain) == len(cases)
    for r, row in enumerate(plain):
        for c, column in enumerate(kestrol.RESULT_COLUMNS):
            expected = results.iloc[r, c]
            assert row[column] == expected or (row[column] is None and math.isnan(expected)), column
        assert row["status"] == frame["status"].iloc[r] and row["message"] == frame["message"].iloc[r]
    header, rows = bundled
    csv_rows = kestrol.size_many(BATCH)
    assert len(csv_rows) == len(rows)
    for ours, theirs in zip(csv_rows, rows):
        expected = dict(zip(header, theirs))  # a later column of the same name wins, as in ours
        assert ours.keys() == expected.keys()
        assert all(same_cell(expected[k], ours[k]) for k in expected), theirs[0]


@pytest.mark.parametrize("route", ["path", "frame", "mappings", "mappings without pandas"])
def test_without_the_review_its_columns_are_left_out_and_nothing_else_changes(monkeypatch, route):
    cases = BATCH if route == "path" else pd.read_csv(BATCH).iloc[:300] if route == "frame" else \
        [json.loads(p.read_text()) for p in EXAMPLE_CASES]
    if route == "mappings without pandas":
        monkeypatch.setattr(kestrol, "_pandas", lambda: None)
    reviewed = kestrol.size_many(cases)
    plain = kestrol.size_many(cases, review=False)
    if route == "mappings without pandas":
        reviewed, plain = pd.DataFrame(reviewed), pd.DataFrame(plain)
    columns = list(reviewed.columns)
    review = columns.index("status") - len(kestrol.REVIEW_COLUMNS)
    assert columns[review:review + len(kestrol.REVIEW_COLUMNS)] == kestrol.REVIEW_COLUMNS
    levels = review - len(kestrol.MECHANICAL_COLUMNS)
    assert columns[levels - len(kestrol.LEVEL_COLUMNS):levels] == kestrol.LEVEL_COLUMNS
    assert not set(kestrol.REVIEW_COLUMNS) & set(plain.columns)
    pd.testing.assert_frame_equal(reviewed.drop(columns=kestrol.REVIEW_COLUMNS), plain)
    assert reviewed["governing_diameter"].ne("").all()
    # The weight is a result of the sizing, there with or without the review.
    assert "vessel_weight_kg" not in kestrol.REVIEW_COLUMNS
    assert plain["vessel_weight_kg"].notna().all() and (plain["vessel_weight_kg"] > 0).all()


def test_review_columns_of_mappings_are_those_of_each_case_sized_alone():
    cases = [json.loads(p.read_text()) for p in EXAMPLE_CASES]
    frame = kestrol.size_many(cases)
    for r, case in enumerate(cases):
        one = kestrol.size(case)
        document = one.to_dict()
        row = frame.iloc[r]
        assert row["vessel_weight_kg"] == one.vessel_weight_kg
        assert row["governing_diameter"] == document["governing"]["diameter"]
        assert row["governing_length"] == document["governing"]["length"]
        assert row["warnings"] == ";".join(f["code"] for f in document["review"] if f["severity"] == "warning")
        assert same_cell("" if document["governing"]["vapour_load_percent"] is None else repr(document["governing"]["vapour_load_percent"]),
                         row["vapour_load_percent"])
    assert "level-below-minimum" in frame["warnings"][[p.stem == "gas_scrubber_vertical" for p in EXAMPLE_CASES]].iloc[0]


@pytest.mark.parametrize("cases,error,match", [
    (pd.DataFrame([[1.0, 2.0]], columns=["pressure_kPa", "pressure_kPa"]), kestrol.CaseError, '"pressure_kPa" is given twice'),
    (pd.DataFrame([{"pressure_kPa": 1.0, "design": {"diameter_m": 2.0}}]), kestrol.CaseError, 'a "design" column is not read'),
    ({"pressure_kPa": 1}, TypeError, "give one case to size"),
    ([{"pressure_kPa": 1}, 3], TypeError, "row 1 is a int"),
    ("no-such-batch.csv", kestrol.CaseError, "cannot be read"),
])
def test_unusable_batches_raise(cases, error, match):
    with pytest.raises(error, match=match):
        kestrol.size_many(cases)


def test_another_thread_keeps_sizing_while_a_batch_runs():
    case = json.loads(EXAMPLE_CASES[0].read_text())
    frame = pd.concat([pd.read_csv(BATCH)] * 40, ignore_index=True)  # 120,000 rows
    finished = threading.Event()
    stamps = []

    def keep_sizing():
        while not finished.is_set():
            kestrol.size(case)
            stamps.append(time.perf_counter())

    sizer = threading.Thread(target=keep_sizing)
    sizer.start()
    while not stamps:
        time.sleep(0.001)
    started = time.perf_counter()
    result = kestrol.size_many(frame, jobs=1)
    ended = time.perf_counter()
    finished.set()
    sizer.join()
    assert (result["status"] == "sized").all()
    during = [t for t in stamps if started <= t <= ended]
    gaps = [b - a for a, b in zip([started] + during, during + [ended])]
    # Held for the batch, the lock would leave one gap as long as the sizing itself.
    assert len(during) > 10 and max(gaps) < 0.5 * (ended - started), (len(during), max(gaps), ended - started)
