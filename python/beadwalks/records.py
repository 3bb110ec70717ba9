"""Fixed-column records of the output file, read back field by field.

Every echo and report record of the program is a literal text followed by
fields of fixed width (``Iw``: an integer in w columns; ``Fw.d``: a real
rounded to d decimals in w columns). A layout lists these pieces in order, so
a record is read by walking its layout: each literal must stand where it is
written, and each field is exactly its width. A field too narrow for its value
is printed as asterisks; it reads as missing (``None``) and its name is
reported, so that the caller can warn.
"""

from __future__ import annotations

import math
import re
from dataclasses import dataclass
from typing import Optional, Sequence, Union

#: The separator record written before every data set: 5 blanks, 70 "=".
SEPARATOR = " " * 5 + "=" * 70

_INTEGER = re.compile(r"-?\d+")
# Fw.d drops the zero before the point when the field has no column for it
# ("-.50" in F4.2); non-finite values are printed as words.
_REAL = re.compile(r"-?\d*\.\d*")
_NON_FINITE = {"NaN": math.nan, "Inf": math.inf, "-Inf": -math.inf}


@dataclass(frozen=True)
class Field:
    """One value of a record: its name, ``"I"`` or ``"F"``, its width."""

    name: str
    kind: str
    width: int


def I(name: str, width: int) -> Field:  # noqa: E743 - the edit descriptor's name
    """An integer field ``Iw``."""
    return Field(name, "I", width)


def F(name: str, width: int) -> Field:
    """A real field ``Fw.d`` (the decimals do not matter for reading)."""
    return Field(name, "F", width)


Layout = Sequence[Union[str, Field]]
Value = Union[int, float, None]


class _NotANumber(Exception):
    pass


def _convert(text: str, kind: str) -> Value:
    body = text.strip()
    if body and set(body) == {"*"} and len(text) == len(body):
        return None
    if kind == "I" and _INTEGER.fullmatch(body):
        return int(body)
    if kind == "F":
        if body in _NON_FINITE:
            return _NON_FINITE[body]
        if _REAL.fullmatch(body) and any(c.isdigit() for c in body):
            return float(body)
    raise _NotANumber(text)


@dataclass
class Match:
    """The values of a record read by its layout, and the fields in asterisks."""

    values: dict[str, Value]
    overflowed: list[str]


def read_record(layout: Layout, line: str) -> Optional[Match]:
    """Reads ``line`` by ``layout``; ``None`` when the record is not of that layout.

    Trailing blanks of ``line`` are ignored: every layout ends in a
    right-justified field, whose last column is never blank.
    """
    line = line.rstrip()
    pos = 0
    values: dict[str, Value] = {}
    overflowed: list[str] = []
    for piece in layout:
        if isinstance(piece, str):
            if not line.startswith(piece, pos):
                return None
            pos += len(piece)
            continue
        text = line[pos:pos + piece.width]
        if len(text) != piece.width:
            return None
        try:
            value = _convert(text, piece.kind)
        except _NotANumber:
            return None
        values[piece.name] = value
        if value is None:
            overflowed.append(piece.name)
        pos += piece.width
    if pos != len(line):
        return None
    return Match(values, overflowed)
