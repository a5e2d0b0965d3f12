"""Separator sizing from Python: the engine of the ``kestrol`` command line, not a copy of it.

    >>> import kestrol, pandas as pd
    >>> CASE = {"orientation": "vertical", "pressure_kPa": 3500, "temperature_C": 35,
    ...         "vapour_mass_flow_kg_h": 60000, "vapour_density_kg_m3": 28,
    ...         "light_liquid_mass_flow_kg_h": 1500, "light_liquid_density_kg_m3": 720}
    >>> s = kestrol.size(CASE)
    >>> s.sized, s.inside_diameter_m
    (True, 1.9812)

The examples of the functions go on from these lines (``kestrol``, ``pd`` and ``CASE``).

``size`` sizes one case (a mapping with the case file's keys, or a case file's path);
``size_many`` sizes a DataFrame, an iterable of mappings or a CSV batch on every core;
``run_script`` plays a host script; ``SizingObject`` is the object through its interface;
``kestrol.dask.size_frame`` sizes a Dask DataFrame (``kestrol.dask`` is imported on first use).
Input the command line would refuse with exit status 2 raises ``CaseError`` with its
sentence; a case the object cannot size is a result with ``sized == False`` and the reason.
"""
from __future__ import annotations

# The helpers under private names: a user's tab completion shows the API alone.
import array as _array
import collections.abc as _abc
import enum as _enum
import errno as _errno
import html as _markup
import json as _json
import math as _math
import os as _os
import time as _time
import typing as _typing
import warnings as _warnings

from . import _kestrol
from ._kestrol import CaseError, Sizing, SizingObject

if _typing.TYPE_CHECKING:
    from typing import Any, Callable, Dict, Iterable, List, Mapping, Optional, Tuple, Union

    import numpy
    import numpy.typing
    import pandas

    from . import dask

    _PathLike = Union[str, "_os.PathLike[str]"]
    _T = _typing.TypeVar("_T")

__all__ = [
    "CASE_KEYS", "CaseError", "CaseFileNotFoundError", "CaseKey", "EMPTY_VALUE", "LEVEL_COLUMNS", "LEVEL_KEYS", "LEVEL_NAMES", "RESULT_COLUMNS", "RESULT_NAMES", "REVIEW_COLUMNS", "SETTLING_COLUMNS", "MECHANICAL_COLUMNS", "MECHANICAL_NAMES", "Sizing", "SizingError", "SizingObject", "Slot",
    "check", "findings_frame", "run_script", "size", "size_many",
]
__version__ = "1.0"

CaseError.__module__ = __name__
CaseError.__doc__ = "Input the command line refuses with exit status 2; the message is its sentence."
Sizing.__module__ = __name__
SizingObject.__module__ = __name__

EMPTY_VALUE: float = _kestrol.EMPTY_VALUE
"""The object's marker for an empty, unset or failed value."""

RESULT_COLUMNS: List[str] = list(_kestrol.RESULT_COLUMNS)
"""The result columns of a batch after the inputs, SI units in their names; a result that
repeats an input key carries ``_used`` (``cost_index_used``), so that no two columns share a name."""

RESULT_NAMES: List[str] = list(_kestrol.RESULT_NAMES)
"""The ``Sizing`` attribute of each of ``RESULT_COLUMNS``, in the same order: the column's name
without ``_used`` (``cost_index``)."""

SETTLING_COLUMNS: List[str] = list(_kestrol.SETTLING_COLUMNS)
"""The settling and nozzle columns of a batch, after the results: each cut size in um and each
nozzle's nominal pipe size in inches; each is also a ``Sizing`` attribute of the same name."""

LEVEL_COLUMNS: List[str] = list(_kestrol.LEVEL_COLUMNS)
"""The level set points' columns of a batch, after the settling columns and before the review's: a height per set point (HHLL to
LLLL, then the interface levels HIL, NIL, LIL) and the times between them."""

LEVEL_NAMES: List[str] = list(_kestrol.LEVEL_NAMES)
"""The ``Sizing`` attribute of each of ``LEVEL_COLUMNS``, in the same order (``hhll_m``, ...,
``surge_time_s``)."""

LEVEL_KEYS: List[str] = list(_kestrol.LEVEL_KEYS)
"""The keys of a case's ``levels`` block (``surge_time_s``, ``alarm_time_s``, ``alarm_margin_m``
and any set point, ``hhll_m`` to ``lil_m``); a frame or a CSV batch gives them as columns."""

# The engine's numbers of the design at design conditions, then its one word: the plate grade used.
_MECHANICAL_NUMBERS: List[str] = list(_kestrol.MECHANICAL_COLUMNS)
_DESIGN_MATERIAL_COLUMN: str = _kestrol.DESIGN_MATERIAL_COLUMN
MECHANICAL_COLUMNS: List[str] = _MECHANICAL_NUMBERS + [_DESIGN_MATERIAL_COLUMN]
"""The columns of the design at design conditions, after the level columns, pressures absolute;
the last, ``design_material_used``, names the plate grade used (empty where not computed)."""

MECHANICAL_NAMES: List[str] = list(_kestrol.MECHANICAL_NAMES) + [_kestrol.DESIGN_MATERIAL_NAME]
"""The ``Sizing`` attribute of each of ``MECHANICAL_COLUMNS``, in the same order."""


class Slot(_enum.IntEnum):
    """The 39 slots of the sizing vector by name, for get_value and set_value."""

    # Written out so that a type checker knows every member; a test holds them to _kestrol.SLOTS.
    Diameter = 1
    OverallLength = 2
    VapourVelocity = 3
    Ratio = 4
    LightLayerThickness = 5
    LightResidenceTime = 6
    HeavyLevel = 7
    HeavyResidenceTime = 8
    MinimumLevel = 9
    VapourAllowance = 10
    DisengagementHeight = 11
    MistEliminatorHeight = 12
    VapourSpaceHeight = 13
    Orientation = 14
    CostIndex = 15
    CorrosionAllowance = 16
    MaterialCode = 17
    JointEfficiency = 18
    ShellPressureCoefficient = 19
    Spare20 = 20
    HeadStressMultiplier = 21
    HeadPressureCoefficient = 22
    HeadLengthFactor = 23
    VesselCostA = 24
    VesselCostB = 25
    VesselCostC = 26
    PlatformLengthExponent = 27
    PlatformCoefficient = 28
    PlatformDiameterExponent = 29
    MaterialCostFactor = 30
    AllowableStress = 31
    MaterialDensity = 32
    WallThickness = 33
    SecondVapourAllowance = 34
    FirstPassFlag = 35
    VesselCost = 36
    PlatformCost = 37
    TotalCost = 38
    Spare39 = 39


# The object's failure codes, written out for the same reason; the same test holds them.
SIZING_E_NOVECTOR: int = _kestrol.HRESULTS["SIZING_E_NOVECTOR"]
SIZING_E_NOFLOW: int = _kestrol.HRESULTS["SIZING_E_NOFLOW"]
SIZING_E_NOVAPOUR: int = _kestrol.HRESULTS["SIZING_E_NOVAPOUR"]
SIZING_E_MISSINGINPUT: int = _kestrol.HRESULTS["SIZING_E_MISSINGINPUT"]
SIZING_E_NOPERCENT: int = _kestrol.HRESULTS["SIZING_E_NOPERCENT"]
SIZING_E_NOLIQUIDDENSITY: int = _kestrol.HRESULTS["SIZING_E_NOLIQUIDDENSITY"]
SIZING_E_PRESET: int = _kestrol.HRESULTS["SIZING_E_PRESET"]
SIZING_E_ORIENTATION: int = _kestrol.HRESULTS["SIZING_E_ORIENTATION"]
__all__ += ["SIZING_E_NOVECTOR", "SIZING_E_NOFLOW", "SIZING_E_NOVAPOUR", "SIZING_E_MISSINGINPUT", "SIZING_E_NOPERCENT",
            "SIZING_E_NOLIQUIDDENSITY", "SIZING_E_PRESET", "SIZING_E_ORIENTATION"]

_STATUS_WORDS = ("sized", "not sized", "bad input")
_ORIENTATION_WORDS = {-1: "", 0: "vertical", 1: "horizontal"}


class CaseKey(_typing.NamedTuple):
    """One numeric key of a case, as ``CASE_KEYS`` lists them."""

    name: str
    """The key, as in a case file, a mapping for ``size`` and a batch's column."""
    design: bool
    """Whether it belongs in the case's ``"design"`` block (flat in a batch); else at the top."""
    unit: str
    """The unit its value is read in, as the end of its name says; empty for a plain number."""
    description: str
    """What it is, as the command line's messages name it."""


# The unit of a case key by the end of its name, longest ending first, for pint and for people:
# pressure is absolute.
_KEY_UNITS = (("_kg_m3", "kg/m**3", "kg/m3"), ("_kg_h", "kg/h", "kg/h"), ("_m_s", "m/s", "m/s"),
              ("_kPa", "kPa", "kPa abs"), ("_percent", "percent", "%"), ("_C", "degC", "deg C"), ("_m", "m", "m"),
              ("_s", "s", "s"))

CASE_KEYS: List[CaseKey] = [
    CaseKey(key, design, next((shown for ending, _unit, shown in _KEY_UNITS if key.endswith(ending)), ""), words)
    for key, design, words in _kestrol.CASE_KEYS]
"""The numeric keys of a case, stream keys first, then the design keys, as ``CaseKey`` tuples
(``name``, ``design``, ``unit``, ``description``); ``size`` documents them as a table."""

_CASE_KEYS = [key.name for key in CASE_KEYS]
_DESIGN_KEYS = frozenset(key.name for key in CASE_KEYS if key.design)
# The names a frame's column may have to be read, design keys flat as in a CSV batch.
_SETTLING_KEYS: List[str] = list(_kestrol.SETTLING_KEYS)
_SETTLING_WORDS = {"mist_eliminator", "inlet_device"}
_MECHANICAL_KEYS: List[str] = list(_kestrol.MECHANICAL_KEYS)
_FRAME_COLUMNS = dict.fromkeys(["name", "orientation"] + _CASE_KEYS + _SETTLING_KEYS + LEVEL_KEYS + _MECHANICAL_KEYS)
# The batch engine takes a level key's column as len(_CASE_KEYS) + its place in LEVEL_KEYS;
# the header reader names it by a code from -40 down, and a mechanical key by one from -20 down.
_FIRST_LEVEL_COLUMN = -40
_FIRST_MECHANICAL_COLUMN = -20
_ORIENTATION_COLUMN = -2
_FIRST_SETTLING_COLUMN = -10
REVIEW_COLUMNS: List[str] = list(_kestrol.REVIEW_COLUMNS)
"""The design review's columns of a batch, after the results; left out with review=False."""
_REVIEW_WORDS = {"governing_diameter", "governing_length", "warnings"}
# The engine writes the results and the design at design conditions into one table; the
# settling and level columns come back apart and go between them.
_ENGINE_COLUMNS = RESULT_COLUMNS + _MECHANICAL_NUMBERS
_BATCH_TAIL = ["orientation_used"] + RESULT_COLUMNS + SETTLING_COLUMNS + LEVEL_COLUMNS + MECHANICAL_COLUMNS + REVIEW_COLUMNS + ["status", "message"]
# Positions in the tail that hold words, not numbers.
_TAIL_WORDS = {0, len(_BATCH_TAIL) - 2, len(_BATCH_TAIL) - 1} | {i for i, name in enumerate(_BATCH_TAIL) if name in _REVIEW_WORDS or name == _DESIGN_MATERIAL_COLUMN}


class SizingError(RuntimeError):
    """A failure HRESULT of the sizing object, with the command line's sentence for it.

    Parameters
    ----------
    hresult : int
        The failure code, signed (``SIZING_E_NOVAPOUR`` and the other ``SIZING_E_*``).

    Attributes
    ----------
    hresult : int
        The failure code, signed.
    sentence : str
        What the code means and what to change, as the command line says it.

    Examples
    --------
    >>> try:
    ...     kestrol.check(kestrol.SIZING_E_NOFLOW)
    ... except kestrol.SizingError as e:
    ...     e.hresult == kestrol.SIZING_E_NOFLOW
    True
    """

    def __init__(self, hresult: int):
        self.hresult = int(hresult)
        self.sentence = _kestrol.explain_result(self.hresult)
        super().__init__(f"0x{self.hresult & 0xFFFFFFFF:08X}: {self.sentence}")


def check(hr: int) -> int:
    """Passes a success code through and raises for a failure code, as a host checks an HRESULT.

    Parameters
    ----------
    hr : int
        What ``SizingObject.calculate()`` or ``alloc_values()`` answered; signed, or the
        unsigned number a script prints (``0x80040201``).

    Returns
    -------
    int
        ``hr`` itself, signed, when it is a success code (0 for S_OK).

    Raises
    ------
    SizingError
        For a failure code, with the command line's sentence for it.

    Examples
    --------
    >>> kestrol.check(0)
    0
    >>> kestrol.check(kestrol.SIZING_E_NOVAPOUR)  # doctest: +ELLIPSIS
    Traceback (most recent call last):
    ...
    kestrol.SizingError: 0x...
    """
    hr = int(hr)
    if hr >= 0x80000000:  # given as the unsigned number a script prints
        hr -= 0x100000000
    if hr < 0:
        raise SizingError(hr)
    return hr


def _check_review(review: bool) -> None:
    if not isinstance(review, bool):
        raise TypeError("review must be True or False")


class CaseFileNotFoundError(CaseError, FileNotFoundError):
    """An input file (a case, a batch, a script) that does not exist: a ``CaseError`` with the command line's sentence, and a
    ``FileNotFoundError`` with its ``filename``."""

    def __init__(self, message: str, filename: str):
        super().__init__(message)
        self.errno, self.strerror, self.filename = _errno.ENOENT, _os.strerror(_errno.ENOENT), filename

    def __str__(self) -> str:
        return str(self.args[0])


_PLAIN_TYPES = frozenset((int, float, str, bool, type(None)))


def _key_unit(key: str) -> str:
    return next((unit for ending, unit, _shown in _KEY_UNITS if key.endswith(ending)), "dimensionless")


def _plain_value(key: str, value: Any) -> Any:
    """A value for a case key as the reader takes it: a pint quantity as its number in the key's
    unit (the end of its name), CaseError naming the key when it cannot be; others as given."""
    if type(value) in _PLAIN_TYPES or not (hasattr(value, "magnitude") and hasattr(value, "units")):
        return value
    unit = _key_unit(key)
    try:
        import pint
    except ImportError:
        raise CaseError(f"{key}: {value} is a quantity, and converting it to {unit} needs pint, which is not installed") from None
    try:
        try:
            return value.to(unit).magnitude
        except pint.errors.UndefinedUnitError:
            if unit != "percent":
                raise
            return value.to("dimensionless").magnitude * 100.0  # older registries (pint 0.19 among them) have no percent
    except Exception as e:  # pint's error types differ between its versions
        raise CaseError(f"{key}: {value} cannot be given in {unit} ({e})") from None


def _plain_case(case: Mapping[Any, Any]) -> Mapping[Any, Any]:
    """The case with its quantities (the design block's too) as numbers; the case itself when it has none."""
    plain: Optional[Dict[Any, Any]] = None
    for key, value in case.items():
        if key == "design" and isinstance(value, _abc.Mapping):
            number: Any = _plain_case(value)
        else:
            number = _plain_value(key, value) if isinstance(key, str) else value
        if number is not value:
            if plain is None:
                plain = dict(case)
            plain[key] = number
    return case if plain is None else plain


def size(case: Union[Mapping[str, Any], _PathLike], *, review: bool = True) -> Sizing:
    """Sizes one separator, as ``kestrol size CASE.json`` does.

    Parameters
    ----------
    case : mapping, str or path-like
        The case: a mapping with the case file's keys (its ``"design"`` block included; a row
        of a ``size_many`` frame, a pandas Series, with the design keys flat), a case file's
        JSON text, or the path of a case file. ``name`` and ``orientation`` (``"vertical"``,
        ``"horizontal"``, or none for the sizing to choose) stand beside the numeric keys
        below, as do the datasheet's title block strings ``tag``, ``service`` and
        ``revision``. NaN or None is a key not given. A value of a mapping may be a pint
        quantity: it is converted to the key's unit (``pressure_kPa=35 * ureg.bar`` is 3500
        kPa absolute; ``temperature_C`` takes any temperature, kelvin included).
    review : bool, default True
        Whether to run the design review. Without it ``findings`` is None, the report has no
        Review section and the document keeps the review's keys as for an unreviewed case
        (``governing`` null, ``review`` empty); every result, the vessel weight among them,
        is the same.

    Returns
    -------
    Sizing
        The results as attributes with their SI units in the names (``inside_diameter_m``,
        ``total_cost_USD``, None where not computed), ``sized`` and ``problem``,
        ``to_dict()`` (the ``--format json`` document), ``to_series()``, ``report(units)``,
        ``svg(units)``, ``datasheet(units)`` and ``findings``. A case the object cannot size
        is returned with ``sized == False`` and ``problem`` saying why.

    Raises
    ------
    CaseError
        For input the command line refuses with exit status 2: an unknown key, a value out of
        range, a number given as a string, a quantity that cannot be converted; the message
        is the command line's sentence.
    CaseFileNotFoundError
        For a case file that does not exist (a ``CaseError`` and a ``FileNotFoundError``).
    TypeError
        For a ``case`` that is none of the above.

    Notes
    -----
    The numeric keys (``CASE_KEYS``). The stream keys stand at the top of a case; a case needs
    ``pressure_kPa``, ``temperature_C``, ``vapour_mass_flow_kg_h`` and
    ``vapour_density_kg_m3``, and for a feed without liquid ``assumed_liquid_percent`` and
    ``assumed_liquid_density_kg_m3``. The design keys go in the ``"design"`` block; one not
    given is preset by the sizing for the orientation and marked "(default)" in the report.

{case keys}

    Examples
    --------
    >>> s = kestrol.size(CASE)
    >>> s.sized, s.inside_diameter_m
    (True, 1.9812)
    >>> s.findings[0]["code"]
    'governing'
    >>> kestrol.size('{"pressure_kPa": 3500, "temperature_C": 35}')  # doctest: +ELLIPSIS
    Traceback (most recent call last):
    ...
    kestrol.CaseError: case: vapour_mass_flow_kg_h: is required: ...
    """
    _check_review(review)
    if type(case) is dict or isinstance(case, _abc.Mapping):
        return _kestrol.size_mapping(_plain_case(case), "case", review)
    if isinstance(case, str) and case.lstrip().startswith("{"):
        return _kestrol.size_text(case, "case", review)
    if isinstance(case, (str, _os.PathLike)):
        path = _os.fspath(case)
        try:
            return _kestrol.size_file(path, review)
        except CaseError as e:
            if path != "-" and not _os.path.exists(path):
                raise CaseFileNotFoundError(str(e), path) from None
            raise
    pandas = _pandas()
    if pandas is not None and isinstance(case, pandas.Series):
        return _kestrol.size_mapping(_plain_case(_series_case(case)), "case", review)
    raise TypeError(f"size() takes a mapping, JSON text or the path of a case file, not {type(case).__name__}")


def _case_key_table(indent: str) -> str:
    """The numeric keys as a table for a docstring, from the extension's key table itself."""
    header = ("Key", "Unit", "Block", "If not given", "What it is")
    rows = [(f"``{key.name}``", key.unit or "-", "design" if key.design else "top", "preset" if key.design else "absent",
             key.description) for key in CASE_KEYS]
    widths = [max(len(row[i]) for row in [header] + rows) for i in range(len(header))]
    rule = "  ".join("=" * w for w in widths)
    lines = [rule, "  ".join(h.ljust(w) for h, w in zip(header, widths)).rstrip(), rule]
    lines += ["  ".join(cell.ljust(w) for cell, w in zip(row, widths)).rstrip() for row in rows]
    return "\n".join(indent + line for line in lines + [rule])


if size.__doc__:  # None under python -OO
    size.__doc__ = size.__doc__.replace("{case keys}", _case_key_table("    "))


def _series_case(row: "pandas.Series") -> Dict[str, Any]:
    """A row of a batch's frame as a case: its design keys, which stand flat there, in the design block."""
    case: Dict[str, Any] = {}
    design: Dict[str, Any] = {}
    for key, value in row.items():
        (design if key in _DESIGN_KEYS else case)[key] = value
    if design:
        given = case.get("design")
        case["design"] = {**given, **design} if isinstance(given, _abc.Mapping) else design
    return case


def _to_dict(self: Sizing, units: str = "si") -> Dict[str, Any]:
    """The ``kestrol size --format json`` document of this case.

    Parameters
    ----------
    units : {"si", "us"}, default "si"
        The unit system of the document's numbers, in any case.

    Returns
    -------
    dict
        A new dict each call (``name``, ``source``, ``sized``, the groups of results with
        ``value`` and ``unit``, ``governing`` and ``review``); the document is made once per
        unit system.

    Raises
    ------
    ValueError
        For units other than "si" and "us".

    Examples
    --------
    >>> kestrol.size(CASE).to_dict("us")["units"]
    'us'
    """
    document: Dict[str, Any] = _json.loads(self._json(units))
    return document


def _findings(self: Sizing) -> Optional[List[Dict[str, Any]]]:
    """The design review: what set the size, then warnings, then notes.

    Returns
    -------
    list of dict or None
        Each finding with ``code`` (the first is ``"governing"``), ``severity`` (``"note"``
        or ``"warning"``), ``text`` (the sentence) and ``values`` (the numbers it compared).
        Empty when the case was not sized; None when it was sized with ``review=False``. A new
        list each access, from the review made once.

    Examples
    --------
    >>> [f["code"] for f in kestrol.size(CASE).findings][:1]
    ['governing']
    """
    if not self.reviewed:
        return None
    derived = self._derived
    text = derived.get("findings")
    if text is None:
        text = derived["findings"] = _json.dumps(_findings_of(self.to_dict()))
    findings: List[Dict[str, Any]] = _json.loads(text)
    return findings


def _findings_of(document: Dict[str, Any]) -> List[Dict[str, Any]]:
    governing = document["governing"]
    if governing is None:
        return []
    first = {"code": "governing", "severity": "note", "text": governing["text"],
             "values": {k: v for k, v in governing.items() if k != "text"}}
    review: List[Dict[str, Any]] = document["review"]
    return [first] + review


def _to_series(self: Sizing) -> "pandas.Series":
    """This case as one row of ``size_many``'s results.

    Returns
    -------
    pandas.Series
        ``name``, ``orientation_used``, the result columns by their batch names
        (``RESULT_COLUMNS``, NaN where not computed), ``status`` and ``message`` (why it was not
        sized; empty when it was); named by the case's name, else its source.

    Raises
    ------
    ImportError
        Where pandas is not installed.

    Examples
    --------
    >>> float(kestrol.size(CASE).to_series()["inside_diameter_m"])
    1.9812
    """
    import pandas

    values: Dict[str, Any] = {"name": self.name, "orientation_used": self.orientation or ""}
    for column, attribute in zip(RESULT_COLUMNS + SETTLING_COLUMNS + LEVEL_COLUMNS + MECHANICAL_COLUMNS, RESULT_NAMES + SETTLING_COLUMNS + LEVEL_NAMES + MECHANICAL_NAMES):
        number = getattr(self, attribute)
        values[column] = ("" if column == _DESIGN_MATERIAL_COLUMN else _math.nan) if number is None else number
    values["status"] = self.status
    values["message"] = self.problem or ""
    return pandas.Series(values, name=self.name or self.source)


def findings_frame(results: Union[Iterable[Sizing], Mapping[Any, Sizing], "pandas.Series"]) -> "pandas.DataFrame":
    """The design review of many cases, one row per finding.

    Parameters
    ----------
    results : iterable of Sizing, mapping of Sizing, or pandas.Series of Sizing
        The sized cases: ``df.apply(kestrol.size, axis=1)``, a dict by label, or a list.

    Returns
    -------
    pandas.DataFrame
        Indexed by the case's label (its index in a Series or mapping, its position in any
        other iterable), with the case's ``name`` and the finding's ``code``, ``severity``,
        ``text`` and ``values``. A case sized with ``review=False``, or not sized, has no
        rows. Where pandas is not installed, a list of dicts (``case`` the label).

    Raises
    ------
    TypeError
        For an element that is not a ``Sizing``.

    Examples
    --------
    >>> sized = pd.DataFrame([CASE] * 2).apply(kestrol.size, axis=1)
    >>> frame = kestrol.findings_frame(sized)
    >>> frame.index.unique().tolist(), frame["code"].iloc[0]
    ([0, 1], 'governing')
    """
    pandas = _pandas()
    if pandas is not None and isinstance(results, pandas.Series):
        labelled = list(results.items())
    elif isinstance(results, _abc.Mapping):
        labelled = list(results.items())
    else:
        labelled = list(enumerate(results))
    rows: List[Dict[str, Any]] = []
    for label, sizing in labelled:
        if not isinstance(sizing, Sizing):
            raise TypeError(f"findings_frame(): case {label!r} is a {type(sizing).__name__}, not a Sizing")
        for finding in sizing.findings or ():
            rows.append({"case": label, "name": sizing.name, "code": finding["code"], "severity": finding["severity"],
                         "text": finding["text"], "values": finding["values"]})
    if pandas is None:
        return rows  # what the docstring promises without pandas; its frame type is Any then
    columns = ["case", "name", "code", "severity", "text", "values"]
    return pandas.DataFrame(rows, columns=columns).set_index("case")


def _repr(self: Sizing) -> str:
    if not self.sized:
        return f"<Sizing {self.name or self.source!r}: not sized>"
    return (f"<Sizing {self.name or self.source!r}: {self.orientation}, inside diameter {self.inside_diameter_m:.3f} m, "
            f"overall length {self.overall_length_m:.3f} m, total cost {self.total_cost_USD:,.0f} USD>")


def _cell(value: Any) -> str:
    """A document's value as the text report writes it: the unit's digits, thousands separated."""
    if isinstance(value, dict) and "value" in value:
        number, unit = value["value"], value.get("unit", "")
        text = "-" if number is None else _kestrol.format_value(number, unit)
        note = " (given)" if value.get("given") else " (default)" if value.get("default") else ""
        return f"{text} {unit}".strip() + note
    if isinstance(value, float):
        return _kestrol.format_value(value)
    if isinstance(value, list):
        return "; ".join(_cell(v) for v in value) if value else "-"
    return "-" if value is None else str(value)


def _repr_html(self: Sizing) -> str:
    return _html(self, "si")


def _html(self: Sizing, units: str) -> str:
    document = self.to_dict(units)
    rows = []
    # The review is listed after the table, the governing line first, not as its rows. The design
    # at design conditions is the report's side-by-side section: its keys repeat the mechanical
    # group's, and its weights nest.
    for group, content in document.items():
        if not isinstance(content, dict) or group in ("governing", "mechanical_design"):
            continue
        rows.append(f'<tr><th colspan="2" style="text-align:left">{_markup.escape(group.capitalize())}</th></tr>')
        for key, value in content.items():
            rows.append(f"<tr><td>{_markup.escape(key.replace('_', ' '))}</td><td>{_markup.escape(_cell(value))}</td></tr>")
    if document["nozzles"]:
        rows.append('<tr><th colspan="2" style="text-align:left">Nozzles</th></tr>')
        for nozzle in document["nozzles"]:
            size = f'NPS {_cell(nozzle["nominal_size"])}, {_cell(nozzle["inside_diameter"])}' if nozzle["nominal_size"] else "beyond NPS 36"
            rows.append(f"<tr><td>{_markup.escape(nozzle['service'].replace('_', ' '))}</td><td>{_markup.escape(size)}</td></tr>")
    for key, value in document.items():
        if key not in ("name", "source", "units", "review", "nozzles") and not isinstance(value, dict):
            rows.append(f"<tr><td>{_markup.escape(key.replace('_', ' '))}</td><td>{_markup.escape(_cell(value))}</td></tr>")
    table = f"<table>{''.join(rows)}</table>"
    findings = _findings_of(document) if self.reviewed else []
    if findings:
        warning = ' style="color:#d4380d"'  # the drawing's warning colour
        items = "".join(f"<li{warning if f['severity'] == 'warning' else ''}>"
                        f"<b>{_markup.escape(f['severity'])} {_markup.escape(f['code'])}</b>: {_markup.escape(f['text'])}</li>"
                        for f in findings)
        table += f"<div><b>Review</b><ul>{items}</ul></div>"
    drawing = self.svg(units) if self.sized else ""
    title = _markup.escape(self.name or self.source)
    return (f"<div><b>{title}</b><div style=\"display:flex;gap:2em;align-items:flex-start\">{table}"
            f"<div style=\"max-width:480px\">{drawing}</div></div></div>")


def _repr_svg(self: Sizing) -> Optional[str]:
    return self.svg() if self.sized else None


# The stub declares these as the class's own members, which they become here: a checker
# refuses an assignment to a method, so they are set by name.
for _name, _member in (("to_dict", _to_dict), ("to_series", _to_series), ("findings", property(_findings, doc=_findings.__doc__)),
                       ("__repr__", _repr), ("_repr_html_", _repr_html), ("_repr_svg_", _repr_svg)):
    setattr(Sizing, _name, _member)
del _name, _member


def _jobs(jobs: Optional[int]) -> int:
    if jobs is None:
        return 0
    if not isinstance(jobs, int) or isinstance(jobs, bool) or not 1 <= jobs <= 1024:
        raise ValueError("jobs must be a whole number from 1 to 1024, or None for one per core")
    return jobs


def _pandas() -> Any:
    try:
        import pandas
    except ImportError:
        return None
    return pandas


class _Progress:
    """A progress bar for a batch that has run a second (tqdm's, in a notebook or a terminal);
    shorter batches, and machines without tqdm, show nothing."""

    _AFTER_S = 1.0  # a shorter wait needs no bar

    def __init__(self, bar: Callable[..., Any]):
        self._bar_type = bar
        self._bar: Any = None
        self._started = _time.monotonic()

    def __call__(self, done: int, total: int) -> None:
        if self._bar is None:
            if _time.monotonic() - self._started < self._AFTER_S:
                return
            self._bar = self._bar_type(total=total or None, initial=done, unit=" cases", unit_scale=True, leave=False)
        if total and self._bar.total != total:
            self._bar.total = total
        self._bar.update(done - self._bar.n)

    def close(self) -> None:
        if self._bar is not None:
            self._bar.close()


def _progress() -> Optional[_Progress]:
    try:
        from tqdm.auto import tqdm
    except ImportError:
        return None
    return _Progress(tqdm)


def _watched(run: Callable[[Optional[_Progress]], _T]) -> _T:
    """Runs `run(progress)` with a progress bar where one can be shown, closed however it ends."""
    progress = _progress()
    try:
        return run(progress)
    finally:
        if progress is not None:
            progress.close()


# A DataFrame in, a DataFrame out; the others give a list where pandas is missing. In this order:
# where pandas has no types its frame is Any, which would shadow any overload after it.
@_typing.overload
def size_many(cases: Union[Iterable[Mapping[str, Any]], _PathLike], *, jobs: Optional[int] = ...,
              review: bool = ...) -> Union[pandas.DataFrame, List[Dict[str, Any]]]: ...
@_typing.overload
def size_many(cases: pandas.DataFrame, *, jobs: Optional[int] = ..., review: bool = ...) -> pandas.DataFrame: ...


def size_many(cases: Union["pandas.DataFrame", Iterable[Mapping[str, Any]], _PathLike], *, jobs: Optional[int] = None,
              review: bool = True) -> Union["pandas.DataFrame", List[Dict[str, Any]]]:
    """Sizes many cases on every core, as ``kestrol size CASES.csv`` does.

    Parameters
    ----------
    cases : pandas.DataFrame, iterable of mappings, str or path-like
        A DataFrame whose columns are a CSV batch's (the keys of ``CASE_KEYS``, design keys
        flat, with ``name`` and ``orientation``), an iterable of mappings as ``size`` takes
        them, or the path of a CSV batch. Every route reads a value alike: NaN or None is not
        given, a number in a string is refused, and a bad value or an unknown key of a mapping
        makes its row bad input. A frame's columns that are not case keys are carried through
        where they stand (with a warning when one looks like a mistyped key).
    jobs : int, optional
        Threads, 1 to 1024; None for one per core. The sizing runs without the interpreter lock.
    review : bool, default True
        Whether to run the design review; without it its columns are left out.

    Returns
    -------
    pandas.DataFrame
        One row per case in input order, the input's index kept, sharing no memory with the
        input: the inputs (case keys as float64), ``orientation_used``, the result columns
        (``RESULT_COLUMNS``, SI units in their names, a result that repeats an input marked
        ``_used``), the settling checks' and nozzles' (``SETTLING_COLUMNS``), the design at design
        conditions (``MECHANICAL_COLUMNS``), the review's
        (``REVIEW_COLUMNS``) unless ``review=False``, then
        ``status`` (``sized``, ``not sized``, ``bad input``) and ``message``. A list of dicts
        where pandas is not installed.

    Raises
    ------
    CaseError
        For a batch the command line refuses as a whole (a malformed CSV, a column given
        twice, a ``design`` column); one bad case is its row's status instead.
    TypeError
        For a single mapping (give it to ``size``) or a row that is not a mapping.
    ValueError
        For ``jobs`` out of range.
    KeyboardInterrupt
        On Ctrl-C, which stops the batch. A batch that runs over a second shows a progress bar
        where tqdm is installed.

    Examples
    --------
    >>> out = kestrol.size_many(pd.DataFrame([CASE] * 3))
    >>> out.loc[0, "inside_diameter_m"], out["status"].tolist()
    (1.9812, ['sized', 'sized', 'sized'])
    """
    _check_review(review)
    jobs = _jobs(jobs)
    if isinstance(cases, (str, _os.PathLike)):
        return _size_csv(_os.fspath(cases), jobs, review)
    pandas = _pandas()
    if pandas is not None and isinstance(cases, pandas.DataFrame):
        return _size_frame(pandas, cases, jobs, review)
    if isinstance(cases, _abc.Mapping):
        raise TypeError("size_many() takes many cases; give one case to size()")
    return _size_mappings(pandas, list(cases), jobs, review)


def _doubles(count: int, fill: Optional[float]) -> Union["numpy.typing.NDArray[numpy.float64]", "_array.array[float]"]:
    """A writable buffer of doubles: a numpy array where numpy is installed, else an _array.array.
    With `fill` None the contents are left as they come (the caller writes every one)."""
    try:
        import numpy
    except ImportError:
        return _array.array("d", [_math.nan if fill is None else fill]) * count
    return numpy.empty(count) if fill is None else numpy.full(count, fill)


def _run_engine(columns: List[Tuple[int, Any]], orientations: bytearray, process: bytearray, skip: Dict[int, str], n: int, jobs: int,
                review: bool, mechanical: Optional[List[Tuple[str, Any]]] = None
                ) -> Tuple[Any, bytearray, bytearray, Dict[int, str], Optional[Dict[str, Any]], Dict[str, Any]]:
    """The batch engine over the given keys' columns, (key, n contiguous doubles, NaN where a row
    gives nothing), and the rows' settling inputs; returns results, orientation used, status
    codes, messages, the review's columns by name (None without the review) and the settling
    columns by name."""
    results = _doubles(n * len(_ENGINE_COLUMNS), None)
    levels = _doubles(n * len(LEVEL_COLUMNS), None)
    used = bytearray(n)
    status = bytearray(n)
    messages, reviewed, settling, material = _watched(lambda progress: _kestrol.size_columns(
        columns, orientations, process, skip, results, levels, used, status, jobs, review, progress, mechanical or []))
    return (results, levels, material), used, status, messages, reviewed, settling


def _size_mappings(pandas: Any, rows: List[Any], jobs: int, review: bool) -> Any:
    for position, row in enumerate(rows):
        if not isinstance(row, _abc.Mapping):
            raise TypeError(f"size_many(): row {position} is a {type(row).__name__}, not a mapping")
    n = len(rows)
    orientations = bytearray(n)
    process = _kestrol.process_inputs(n)
    problems, names, words, given, mechanical = _kestrol.read_mappings(rows, lambda count: _doubles(count, None), orientations, process)
    engine_columns = sorted(given.items())
    results, used, status, messages, reviewed, settling = _run_engine(engine_columns, orientations, process, problems, n, jobs, review,
                                                                      list(mechanical.items()))
    messages.update(problems)
    columns: Dict[str, Any] = {"name": names, "orientation": words}
    for k, column in engine_columns:
        columns[_CASE_KEYS[k] if k < len(_CASE_KEYS) else LEVEL_KEYS[k - len(_CASE_KEYS)]] = column
    columns.update(mechanical)
    return _assemble(pandas, columns, n, results, used, status, messages, reviewed, settling)


def _assemble(pandas: Any, inputs: Dict[Any, Any], n: int, results: Any, used: bytearray, status: bytearray, messages: Dict[int, str],
              reviewed: Optional[Dict[str, Any]], settling: Dict[str, Any], index: Any = None) -> Any:
    """The batch's rows: the input columns by name, then the results."""
    results, levels, material = results
    if pandas is None:
        out: List[Dict[str, Any]] = []
        for r in range(n):
            row = {name: _none_for_nan(column[r]) for name, column in inputs.items()}
            row["orientation_used"] = _ORIENTATION_WORDS[(used[r] ^ 0x80) - 0x80]
            for c, name in enumerate(RESULT_COLUMNS):
                row[name] = _none_for_nan(results[c * n + r])
            for name, column in settling.items():
                row[name] = _none_for_nan(float(column[r]))
            for c, name in enumerate(LEVEL_COLUMNS):
                row[name] = _none_for_nan(levels[c * n + r])
            for c, name in enumerate(_MECHANICAL_NUMBERS, len(RESULT_COLUMNS)):
                row[name] = _none_for_nan(results[c * n + r])
            row[_DESIGN_MATERIAL_COLUMN] = material[r]
            for name, column in (reviewed or {}).items():
                row[name] = column[r] if name in _REVIEW_WORDS else _none_for_nan(float(column[r]))
            row["status"] = _STATUS_WORDS[status[r]]
            row["message"] = messages.get(r, "")
            out.append(row)
        return out
    import numpy

    table = numpy.asarray(results).reshape(len(_ENGINE_COLUMNS), n)
    message_column = numpy.full(n, "", dtype=object)
    for r, message in messages.items():
        message_column[r] = message
    tail = {"orientation_used": numpy.array(["", "vertical", "horizontal"], dtype=object)[numpy.frombuffer(used, dtype=numpy.int8) + 1]}
    for c, name in enumerate(RESULT_COLUMNS):
        tail[name] = table[c]
    tail.update(settling)
    level_table = numpy.asarray(levels).reshape(len(LEVEL_COLUMNS), n)
    for c, name in enumerate(LEVEL_COLUMNS):
        tail[name] = level_table[c]
    for c, name in enumerate(_MECHANICAL_NUMBERS, len(RESULT_COLUMNS)):
        tail[name] = table[c]
    tail[_DESIGN_MATERIAL_COLUMN] = material
    tail.update(reviewed or {})
    tail["status"] = numpy.array(_STATUS_WORDS, dtype=object)[numpy.frombuffer(status, dtype=numpy.int8)]
    tail["message"] = message_column
    columns = [numpy.asarray(c, dtype=object) if isinstance(c, list) else c for c in inputs.values()] + list(tail.values())
    # Keyed by position and not copied: each array stays a block of its own, where merging
    # them would copy every result. Every input column is already the batch's own.
    frame = pandas.DataFrame(dict(enumerate(columns)), index=index, copy=False)
    frame.columns = list(inputs) + list(tail)
    return frame


def _none_for_nan(value: Any) -> Any:
    return None if isinstance(value, float) and _math.isnan(value) else value


def _frame_column(pandas: Any, column: Any, key: str, n: int, problems: Dict[int, str]) -> Tuple[Any, bool]:
    """One input column as contiguous doubles, NaN where not given, read as every route reads a
    value; returns them and whether every cell was read (else its refused cells are problems)."""
    import numpy

    if column.dtype == numpy.float64:
        return numpy.ascontiguousarray(column.to_numpy()), True  # the frame's own array when it can be
    if pandas.api.types.is_numeric_dtype(column.dtype) and not pandas.api.types.is_bool_dtype(column.dtype):
        return numpy.ascontiguousarray(column.to_numpy(dtype=numpy.float64, na_value=numpy.nan)), True
    target = numpy.empty(n)
    refused = _kestrol.read_cells(key, column.to_numpy(dtype=object), target)
    for r, problem in refused.items():
        problems.setdefault(r, problem)
    return target, not refused


def _frame_orientations(pandas: Any, column: Any, orientations: bytearray, problems: Dict[int, str]) -> None:
    """Orientation codes for the engine: each distinct word read once; a word it refuses makes its rows bad input."""
    import numpy

    if column.dtype == object:
        refused = _kestrol.read_orientations(column.to_numpy(), orientations)
        if refused is not None:
            for r, problem in refused.items():
                problems.setdefault(r, problem)
            return
    codes, words = pandas.factorize(column)  # -1 for missing: "auto"
    meaning: List[Union[int, str]] = []
    for word in words:
        try:
            meaning.append(_kestrol.parse_orientation(str(word)))
        except CaseError as e:
            meaning.append(f"orientation: {e}")
    numeric = numpy.array([m if isinstance(m, int) else 0 for m in meaning] + [0], dtype=numpy.int8)
    numpy.frombuffer(orientations, dtype=numpy.int8)[:] = numeric[codes]  # codes of -1 pick the trailing 0
    for i, m in enumerate(meaning):
        if isinstance(m, str):
            for r in numpy.nonzero(codes == i)[0]:
                problems.setdefault(int(r), m)


def _column_key(name: Any) -> Optional[int]:
    """What a frame's column is to the batch, as the CSV header reads its name: a key's index,
    or the name or orientation column; None for a column of the caller's own."""
    if not isinstance(name, str) or name not in _FRAME_COLUMNS:
        return None
    return _kestrol.column_keys([name], "DataFrame")[0]


def _frame_keys(columns: List[Any]) -> List[Optional[int]]:
    if "design" in columns:  # carried through unread, it would size every row without its design
        raise CaseError('DataFrame: a "design" column is not read; give its keys as columns of their own, as a CSV batch does')
    keys = [_column_key(name) for name in columns]
    seen = set()
    for name, key in zip(columns, keys):
        if key is None:
            nearest = _kestrol.nearest_key(name, list(_FRAME_COLUMNS)) if isinstance(name, str) else ""
            if nearest:
                _warnings.warn(f'size_many(): column "{name}" is not a case key and is carried through unread; '
                              f'did you mean "{nearest}"?', UserWarning, stacklevel=4)
        elif name in seen:
            raise CaseError(f'DataFrame: column "{name}" is given twice')
        else:
            seen.add(name)
    return keys


def _size_frame(pandas: Any, frame: Any, jobs: int, review: bool) -> Any:
    import numpy

    keys = _frame_keys(list(frame.columns))
    n = len(frame)
    columns = []
    mechanical: List[Tuple[str, Any]] = []
    orientations = bytearray(n)
    process = _kestrol.process_inputs(n)
    problems: Dict[int, str] = {}
    inputs: Dict[int, Any] = {}
    for position, key in enumerate(keys):
        column = frame.iloc[:, position]
        if key is not None and _FIRST_MECHANICAL_COLUMN - len(_MECHANICAL_KEYS) < key <= _FIRST_MECHANICAL_COLUMN:
            mechanical.append((frame.columns[position], column.to_numpy(dtype=object)))
        elif key is not None and _FIRST_LEVEL_COLUMN < key <= _FIRST_SETTLING_COLUMN:
            for r, problem in _kestrol.read_settling_cells(_FIRST_SETTLING_COLUMN - key, column.to_numpy(dtype=object), process).items():
                problems.setdefault(r, problem)
        elif key is not None and key >= 0:
            values, read = _frame_column(pandas, column, _CASE_KEYS[key], n, problems)
            columns.append((key, values))
            # The numbers as the batch read them; a column with a refused cell as it was given.
            inputs[position] = (numpy.array(values) if numpy.may_share_memory(values, column.to_numpy()) else values) if read else None
        elif key is not None and key <= _FIRST_LEVEL_COLUMN:
            level = _FIRST_LEVEL_COLUMN - key
            values, read = _frame_column(pandas, column, LEVEL_KEYS[level], n, problems)
            columns.append((len(_CASE_KEYS) + level, values))
            inputs[position] = (numpy.array(values) if numpy.may_share_memory(values, column.to_numpy()) else values) if read else None
        elif key == _ORIENTATION_COLUMN:
            _frame_orientations(pandas, column, orientations, problems)
    results, used, status, messages, reviewed, settling = _run_engine(columns, orientations, process, problems, n, jobs, review, mechanical)
    messages.update(problems)
    labels = frame.index
    messages = {r: f"row {labels[r]}: {message}" if status[r] == 2 else message for r, message in messages.items()}
    given = {position: inputs.get(position) if inputs.get(position) is not None else frame.iloc[:, position].array.copy()
             for position in range(frame.shape[1])}
    out = _assemble(pandas, given, n, results, used, status, messages, reviewed, settling, index=frame.index.copy())
    out.columns = list(frame.columns) + list(out.columns[frame.shape[1]:])
    return out


def _read_input(path: str) -> bytes:
    try:
        with open(path, "rb") as file:
            return file.read()
    except FileNotFoundError as e:
        raise CaseFileNotFoundError(f"{path}: cannot be read ({e.strerror})", path) from None
    except OSError as e:
        raise CaseError(f"{path}: cannot be read ({e.strerror})") from None


def _size_csv(path: str, jobs: int, review: bool) -> Any:
    """The CSV batch through the command line's own reader and writer, its output read back."""
    import csv
    import io

    text = _read_input(path)
    output = _watched(lambda progress: _kestrol.size_csv(text, path, jobs, progress))
    header = next(csv.reader(io.StringIO(output[:output.index(b"\n")].decode("utf-8"))))
    tail = len(header) - len(_BATCH_TAIL)
    words = {i for i, name in enumerate(header[:tail]) if name in ("name", "orientation") or name in _SETTLING_WORDS} | {tail + i for i in _TAIL_WORDS}
    numbers = [i for i in range(len(header)) if i not in words]
    # The command line always reviews; without the review its columns are left out.
    kept = [i for i in range(len(header)) if review or i < tail or header[i] not in REVIEW_COLUMNS]
    pandas = _pandas()
    if pandas is not None:
        import numpy

        frame = pandas.read_csv(io.BytesIO(output), header=None, skiprows=1, keep_default_na=False,
                                na_values={i: [""] for i in numbers}, dtype={i: object for i in words},
                                float_precision="round_trip")  # the default parser may miss the last bit
        for i in numbers:  # whole numbers too are float64, as on the other routes
            if pandas.api.types.is_integer_dtype(frame.dtypes[i]):
                frame.isetitem(i, frame.iloc[:, i].astype(numpy.float64))
        frame.columns = header  # by position: a design input and a result may share a name
        return frame if review else frame.iloc[:, kept]
    out: List[Dict[str, Any]] = []
    rows = csv.reader(io.StringIO(output.decode("utf-8"), newline=""))
    next(rows)  # the header
    for row in rows:
        record: Dict[str, Any] = {}
        for i in kept:
            name, cell = header[i], row[i]
            number = _kestrol.parse_number(cell) if i in numbers and cell != "" else None
            record[name] = cell if i in words else (number if number is not None or cell == "" else cell)
        out.append(record)
    return out


def _script_value(value: Any) -> Any:
    """Script numbers as the script format writes what JSON cannot: "NaN", "Infinity"."""
    if isinstance(value, float) and not _math.isfinite(value):
        return "NaN" if _math.isnan(value) else ("Infinity" if value > 0 else "-Infinity")
    if isinstance(value, _abc.Mapping):
        return {k: _script_value(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [_script_value(v) for v in value]
    return value


def _script_output(text: str) -> Dict[str, Any]:
    output: Dict[str, Any] = _json.loads(text)
    return output


def run_script(script: Union[Mapping[str, Any], str, "_os.PathLike[str]"]) -> Dict[str, Any]:
    """Plays a host script as ``kestrol run SCRIPT.json`` does.

    Parameters
    ----------
    script : mapping, str or path-like
        A mapping in the script format (``inputs``, ``callback``, ``calls``), the script's
        JSON text, or the path of a script file.

    Returns
    -------
    dict
        The script's output object. Doubles JSON cannot hold come back as "NaN", "Infinity"
        and "-Infinity", as the command line prints them.

    Raises
    ------
    CaseError
        For a malformed script or a file that cannot be read, with the command line's message.
    TypeError
        For a ``script`` that is none of the above.

    Examples
    --------
    >>> sorted(kestrol.run_script({"calls": [["ClearValues"], ["GetValue", 1]]}))
    ['inputs', 'results', 'vector']
    """
    if isinstance(script, _abc.Mapping):
        return _script_output(_kestrol.run_script(_json.dumps(_script_value(script))))
    if isinstance(script, str) and script.lstrip().startswith("{"):
        return _script_output(_kestrol.run_script(script))
    if isinstance(script, (str, _os.PathLike)):
        path = _os.fspath(script)
        text = _read_input(path)
        try:
            return _script_output(_kestrol.run_script(text))
        except CaseError as e:
            raise CaseError(f"{path}: {e}") from None
    raise TypeError(f"run_script() takes a mapping, JSON text or a path, not {type(script).__name__}")


# What a user sees of the package: the API. `kestrol.dask` is imported on first use, so that
# Dask is not unless it is asked for; hidden from the checker, which knows it as the submodule.
if not _typing.TYPE_CHECKING:
    def __getattr__(name):
        if name == "dask":
            import importlib

            return importlib.import_module(".dask", __name__)
        raise AttributeError(f"module {__name__!r} has no attribute {name!r}")

del annotations
