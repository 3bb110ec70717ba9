"""Input data files of BEADWALKS: data sets built in code, written and read back.

A data set is a :class:`DataSetInput`, checked when it is made with the rules
the program applies to the same items, so that a study refuses a bad item
before anything runs. :func:`write_data_file` writes the layout the program
reads (one item a line, a comment naming it behind the value, ``-1`` at the
end) and :func:`read_data_file` reads a data file with the program's reading
rules.

The program keeps its reals in single precision. A real item is therefore
held as the float32 value the program will use (a Python float that is
exactly that value), and written as the shortest decimal that reads back as
that float32: write then read gives the same values, bit for bit, and the
program reads the same bits.
"""

from __future__ import annotations

import ctypes
import ctypes.util
import dataclasses
import math
import numbers
import os
import re
from dataclasses import dataclass
from typing import Iterable, Optional, Sequence, Union

import numpy as np

PathLike = Union[str, "os.PathLike[str]"]

#: The general integer items, in reading order.
INTEGER_ITEMS = ("N", "NCONF", "NCONFAVE", "ISEED", "IHYD", "NPR")

#: Model code -> its items, in reading order (the echo shows HOOK first).
MODEL_ITEMS = {
    1: ("DHS", "DELTAPHI"),
    2: ("EPS", "SIG", "RCUT", "HOOK", "AMPL"),
    3: ("A", "ALPHA", "RCUT", "HOOK", "AMPL"),
}

#: Every model item of any code.
ALL_MODEL_ITEMS = ("DHS", "DELTAPHI", "EPS", "SIG", "A", "ALPHA", "RCUT", "HOOK", "AMPL")

#: Items that name one model code alone.
_DISTINCTIVE = {"DHS": 1, "DELTAPHI": 1, "EPS": 2, "SIG": 2, "A": 3, "ALPHA": 3}

MIN_BEADS = 2
MAX_BEADS = 100
MIN_NCONFAVE = 5
MAX_NPR = 1_000_000
INT32_MIN = -(2 ** 31)
INT32_MAX = 2 ** 31 - 1

#: Columns that hold the bead count N.
BEAD_COUNT_COLUMNS = 7

_BYTE_ORDER_MARK = "\ufeff"
_REAL = re.compile(r"[+-]?(?:\d+\.?\d*|\.\d+)(?:[EeDd][+-]?\d+)?\Z")
_INTEGER = re.compile(r"[+-]?\d+\Z")


def _c_strtof():
    """The C library's strtof, which the program uses to read a real, or None."""
    try:
        libc = ctypes.CDLL(ctypes.util.find_library("c") or None)
        f = libc.strtof
    except (OSError, AttributeError):
        return None
    f.restype = ctypes.c_float
    f.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
    return f


_STRTOF = _c_strtof()


def decimal_to_float32(text: str) -> float:
    """The float32 nearest the decimal ``text`` (E or D exponent), as a Python float.

    Rounded once from the decimal, as the program's reader does (the C
    library's strtof); without it, through a double, which can differ only
    for decimals that lie within a hair of the middle of two floats.
    """
    normal = text.replace("D", "e").replace("d", "e")
    if _STRTOF is not None:
        return float(_STRTOF(normal.encode("ascii"), None))
    with np.errstate(over="ignore"):
        return float(np.float32(float(normal)))


def float32_text(value: float) -> str:
    """The shortest decimal that reads back as the float32 ``value`` (e.g. "0.1", "1e-45")."""
    return np.format_float_positional(np.float32(value), unique=True, trim="-") \
        if 1e-4 <= abs(value) < 1e16 or value == 0.0 else \
        np.format_float_scientific(np.float32(value), unique=True, trim="-")


def _integer(name: str, value: object) -> int:
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise ValueError(f"{name} = {value!r}: must be an integer")
    v = int(value)
    if not INT32_MIN <= v <= INT32_MAX:
        raise ValueError(f"{name} = {v}: must be a 32-bit integer (-2147483648 to 2147483647)")
    return v


def _real(name: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, numbers.Real):
        raise ValueError(f"{name} = {value!r}: must be a real number")
    v = float(value)
    if not math.isfinite(v):
        raise ValueError(f"{name} = {v!r}: must be finite")
    with np.errstate(over="ignore"):
        single = np.float32(v)
    if not np.isfinite(single):
        raise ValueError(f"{name} = {v!r}: beyond the single-precision range (about 3.4e38)")
    return float(single)


def model_code_of(given: Iterable[str]) -> int:
    """The model code whose items are exactly ``given``; ValueError naming the first misfit."""
    named = set(given)
    given = [name for name in ALL_MODEL_ITEMS if name in named]
    codes = {_DISTINCTIVE[name] for name in given if name in _DISTINCTIVE}
    if len(codes) > 1:
        # The code most of the items belong to; the first item of another is the misfit.
        code = max(sorted(codes), key=lambda c: len(set(given) & set(MODEL_ITEMS[c])))
        other = next(name for name in given if name not in MODEL_ITEMS[code])
        raise ValueError(f"{other}: not an item of model code {code} (given with "
                         f"{', '.join(n for n in given if n in MODEL_ITEMS[code])})")
    if not codes:
        if not given:
            raise ValueError("model items: none given (code 1: DHS, DELTAPHI; code 2: EPS, SIG, RCUT, HOOK, "
                             "AMPL; code 3: A, ALPHA, RCUT, HOOK, AMPL)")
        raise ValueError(f"{given[0]}: belongs to codes 2 and 3; give EPS and SIG (code 2) or A and ALPHA (code 3)")
    code = codes.pop()
    for name in given:
        if name not in MODEL_ITEMS[code]:
            raise ValueError(f"{name}: not an item of model code {code}")
    for name in MODEL_ITEMS[code]:
        if name not in given:
            raise ValueError(f"{name}: missing, an item of model code {code}")
    return code


@dataclass(frozen=True, kw_only=True)
class DataSetInput:
    """The items of one data set, checked with the program's rules when made.

    Integers are 32-bit: ``N`` 2 to 100 beads, ``NCONF`` Monte Carlo cycles,
    ``NCONFAVE`` (at least 5) sampled conformations, ``ISEED`` the seed
    (``None``: a seed record with no value, which carries the previous data
    set's final random state), ``IHYD`` (0: no hydrodynamics), ``NPR`` P(r)
    intervals (at most 1,000,000; 0 or less: none). ``RMAX`` is given exactly
    when ``NPR`` > 0. The model items are those of one code (lengths in bond
    lengths, energies in kT): code 1 ``DHS``, ``DELTAPHI``; code 2 ``EPS``,
    ``SIG``, ``RCUT``, ``HOOK``, ``AMPL``; code 3 ``A``, ``ALPHA``, ``RCUT``,
    ``HOOK``, ``AMPL``. Reals are held as their float32 value. A rule broken
    raises ``ValueError`` naming the item. ``dataclasses.replace`` checks again.
    """

    N: int
    NCONF: int
    NCONFAVE: int
    ISEED: Optional[int]
    IHYD: int = 0
    NPR: int = 0
    RMAX: Optional[float] = None
    DHS: Optional[float] = None
    DELTAPHI: Optional[float] = None
    EPS: Optional[float] = None
    SIG: Optional[float] = None
    A: Optional[float] = None
    ALPHA: Optional[float] = None
    RCUT: Optional[float] = None
    HOOK: Optional[float] = None
    AMPL: Optional[float] = None

    def __post_init__(self) -> None:
        def put(name: str, value: object) -> None:
            object.__setattr__(self, name, value)

        for name in INTEGER_ITEMS:
            value = getattr(self, name)
            if name == "ISEED" and value is None:
                continue
            put(name, _integer(name, value))
        if not MIN_BEADS <= self.N <= MAX_BEADS:
            raise ValueError(f"N = {self.N}: must be {MIN_BEADS} to {MAX_BEADS} beads")
        if self.NCONFAVE < MIN_NCONFAVE:
            raise ValueError(f"NCONFAVE = {self.NCONFAVE}: must be at least {MIN_NCONFAVE} "
                             "(one sampled conformation per subsample)")
        if self.NPR > MAX_NPR:
            raise ValueError(f"NPR = {self.NPR}: must be at most {MAX_NPR} intervals")
        if self.NPR > 0 and self.RMAX is None:
            raise ValueError(f"RMAX: missing, needed when NPR = {self.NPR} > 0")
        if self.NPR <= 0 and self.RMAX is not None:
            raise ValueError(f"RMAX: given, but NPR = {self.NPR} asks for no P(r)")
        if self.RMAX is not None:
            put("RMAX", _real("RMAX", self.RMAX))
        given = [name for name in ALL_MODEL_ITEMS if getattr(self, name) is not None]
        model_code_of(given)
        for name in given:
            put(name, _real(name, getattr(self, name)))

    @property
    def code(self) -> int:
        """The model code whose items this data set holds."""
        return model_code_of(name for name in ALL_MODEL_ITEMS if getattr(self, name) is not None)

    @property
    def NFREQ(self) -> int:
        """Cycles between two sampled conformations: NCONF / NCONFAVE, truncated toward zero."""
        q = abs(self.NCONF) // abs(self.NCONFAVE)
        return q if (self.NCONF < 0) == (self.NCONFAVE < 0) else -q

    @property
    def parameters(self) -> dict[str, float]:
        """The model items by name, in reading order."""
        return {name: getattr(self, name) for name in MODEL_ITEMS[self.code]}

    def items(self) -> list[tuple[str, Union[int, float, None]]]:
        """(name, value) of every record of the data set, in reading order."""
        general = [(name, getattr(self, name)) for name in INTEGER_ITEMS]
        if self.NPR > 0:
            general.append(("RMAX", self.RMAX))
        return general + list(self.parameters.items())

    def with_items(self, **items: Union[int, float, None]) -> "DataSetInput":
        """A copy with some items changed, checked again."""
        return dataclasses.replace(self, **items)

    def __repr__(self) -> str:
        def text(value: Union[int, float, None]) -> str:
            return float32_text(value) if isinstance(value, float) else repr(value)
        return f"DataSetInput({', '.join(f'{k}={text(v)}' for k, v in self.items())})"


def data_set_from_items(code: int, items: dict[str, Union[int, float, None]]) -> DataSetInput:
    """A data set of model ``code`` from a mapping of items (ValueError for an item the code lacks)."""
    for name in items:
        if name in ALL_MODEL_ITEMS and name not in MODEL_ITEMS[code]:
            raise ValueError(f"{name}: not an item of model code {code}")
        if name not in ALL_MODEL_ITEMS and name not in INTEGER_ITEMS and name != "RMAX":
            raise ValueError(f"{name}: not an item of a data set")
    for name in MODEL_ITEMS[code]:
        if name not in items:
            raise ValueError(f"{name}: missing, an item of model code {code}")
    return DataSetInput(**items)


_COMMENTS = {
    "N": "N: beads", "NCONF": "NCONF: Monte Carlo cycles", "NCONFAVE": "NCONFAVE: conformations averaged",
    "ISEED": "ISEED: seed of the random number generator", "IHYD": "IHYD: hydrodynamics (0: none)",
    "NPR": "NPR: intervals of P(r) (0: none)", "RMAX": "RMAX: P(r) from 0 to RMAX",
}


def data_file_text(code: int, data_sets: Sequence[DataSetInput]) -> str:
    """The text of a data file: every item on a line of its own with its name behind, ``-1`` last."""
    if code not in MODEL_ITEMS:
        raise ValueError(f"model code {code!r}: must be 1, 2 or 3")
    lines = []
    for k, ds in enumerate(data_sets, start=1):
        if not isinstance(ds, DataSetInput):
            raise TypeError(f"data set {k}: a DataSetInput, not {type(ds).__name__}")
        if ds.code != code:
            raise ValueError(f"data set {k}: items of model code {ds.code}, not {code}")
        for name, value in ds.items():
            if value is None:        # a seed record with no value: the previous state goes on
                value_text = ","
                comment = "ISEED: none, the previous data set's final state goes on"
            else:
                value_text = float32_text(value) if isinstance(value, float) else str(value)
                comment = _COMMENTS.get(name, name)
            # N must stand in columns 1 to 7; the comment starts after a blank.
            width = BEAD_COUNT_COLUMNS if name == "N" else max(BEAD_COUNT_COLUMNS, len(value_text))
            lines.append(f"{value_text:<{width}} {comment}")
    lines.append("-1      end of the data sets")
    return "".join(line + "\n" for line in lines)


def write_data_file(path: PathLike, code: int, data_sets: Sequence[DataSetInput]) -> None:
    """Writes ``data_sets`` of model ``code`` as a data file the program reads."""
    text = data_file_text(code, data_sets)
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write(text)


class _Records:
    """The lines of a data file as the program sees them: CR before LF and a leading BOM dropped."""

    def __init__(self, text: str, path: str) -> None:
        lines = text.split("\n")
        if lines and lines[-1] == "":
            lines.pop()            # the end of the last line, not an empty record
        if lines and lines[0].startswith(_BYTE_ORDER_MARK):
            lines[0] = lines[0][len(_BYTE_ORDER_MARK):]
        self.lines = [line[:-1] if line.endswith("\r") else line for line in lines]
        self.at = 0
        self.path = path

    def next(self, item: str) -> str:
        if self.at == len(self.lines):
            raise ValueError(f"{self.path}: end of file where {item} is expected (a data file ends with -1)")
        self.at += 1
        return self.lines[self.at - 1]

    def fail(self, item: str, text: str) -> ValueError:
        return ValueError(f"{self.path}, line {self.at}: {item}: {text!r} cannot be read as its type")


def _list_token(records: _Records, item: str) -> Optional[str]:
    """The value of a list-directed read, or None when a comma or slash comes first."""
    while True:
        line = records.next(item).lstrip(" \t")
        if not line:
            continue
        if line[0] in ",/":
            return None
        return re.split(r"[ \t,/]", line, maxsplit=1)[0]


def read_data_file(path: PathLike, code: int) -> list[DataSetInput]:
    """The data sets of a data file of model ``code``, read with the program's rules.

    ``N`` from columns 1 to 7 (blanks ignored, all blank reads as 0); every
    other item list-directed: empty lines skipped, the value ends at a blank,
    comma or slash, what follows it on the line is a comment, reals may carry
    an E or D exponent; a comma or slash before the value leaves the item as
    the previous data set had it (for ``ISEED``: ``None``, the random state
    goes on). CRLF line ends and a UTF-8 byte-order mark read as plain text.
    The file ends at a negative N. A value the program cannot read, the end
    of the file inside a data set or an item the program refuses raise
    ``ValueError`` naming the line and the item.
    """
    if code not in MODEL_ITEMS:
        raise ValueError(f"model code {code!r}: must be 1, 2 or 3")
    with open(path, "rb") as f:
        raw = f.read()
    records = _Records(raw.decode("utf-8", errors="replace"), os.fspath(path))
    # Items keep their value when a record gives none, as the program's run data do.
    previous: dict[str, Union[int, float]] = {name: 0 for name in INTEGER_ITEMS}
    previous.update({name: 0.0 for name in ("RMAX", *ALL_MODEL_ITEMS)})
    data_sets: list[DataSetInput] = []
    while True:
        line = records.next("N")
        field = "".join(c for c in line[:BEAD_COUNT_COLUMNS] if c not in " \t")
        if field and not _INTEGER.match(field):
            raise records.fail("N", line[:BEAD_COUNT_COLUMNS])
        N = int(field) if field else 0
        if N < 0:
            return data_sets
        _integer("N", N)
        items: dict[str, Union[int, float, None]] = {"N": N}
        if not MIN_BEADS <= N <= MAX_BEADS:
            raise ValueError(f"{records.path}, line {records.at}: N = {N}: must be 2 to 100 beads")
        names = ["NCONF", "NCONFAVE", "ISEED", "IHYD", "NPR", "RMAX", *MODEL_ITEMS[code]]
        for name in names:
            if name == "RMAX" and items["NPR"] <= 0:
                continue
            token = _list_token(records, name)
            if token is None:
                items[name] = None if name == "ISEED" else previous[name]
                continue
            if name in INTEGER_ITEMS:
                if not _INTEGER.match(token) or not INT32_MIN <= int(token) <= INT32_MAX:
                    raise records.fail(name, token)
                items[name] = int(token)
            else:
                if not _REAL.match(token):
                    raise records.fail(name, token)
                value = decimal_to_float32(token)
                if not math.isfinite(value):
                    raise records.fail(name, token)
                items[name] = value
            # The program refuses these two at once, before it reads on.
            if name == "NCONFAVE" and items[name] < MIN_NCONFAVE or name == "NPR" and items[name] > MAX_NPR:
                raise ValueError(f"{records.path}, line {records.at}: {name} = {items[name]}: must be "
                                 + (f"at least {MIN_NCONFAVE}" if name == "NCONFAVE" else f"at most {MAX_NPR}"))
        try:
            data_sets.append(DataSetInput(**items))
        except ValueError as e:
            raise ValueError(f"{records.path}, data set {len(data_sets) + 1}: {e}") from None
        previous.update({k: v for k, v in items.items() if v is not None})
