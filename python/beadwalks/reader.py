"""Reads an output file of the program into a :class:`~beadwalks.model.Run`.

The file is read record by record in the order the program writes it: the
banner, the model-code record, the two file names, then for every data set a
separator record, the echo of its items and its report. The layout of each
record is fixed (see :mod:`beadwalks.records`), so a record that is not of
the layout expected at its place is either a stop message (the program writes
one only where it can stop: before the echo, after the P(r) item, after the
model items) or proof that the file is not an output file of the program.

A file cut short (a fatal input/output failure of the run, or a copy) gives
what is there; its last line, when it lacks its line end and is not a whole
record, is dropped. The file alone cannot tell the normal end of a run from a
fatal read failure at the first item of the next data set: both leave the
separator record as the last line.
"""

from __future__ import annotations

import os
import re
import stat
import warnings
from typing import Callable, Optional

from beadwalks.model import COMPLETE, INCOMPLETE, STOPPED, DataSet, Estimate, PrRow, Run
from beadwalks.records import SEPARATOR, F, I, Layout, Match, read_record


class OutputFormatError(ValueError):
    """The file is not an output file of the program (or not a text file at all)."""


class FieldOverflowWarning(UserWarning):
    """A value of the output file was printed as asterisks and reads as missing."""


# The echo of the general data.
_GENERAL_HEAD = (" General data", " ------------")
_N = (" N=", I("N", 4))
_NCONF = (" Total number of conformations: ", I("NCONF", 15))
_NCONFAVE = (" Number of conformations for averaging: ", I("NCONFAVE", 15))
_NFREQ = (" Sampling frequecy for averaging: ", I("NFREQ", 15))
_ISEED = (" Seed for random number generator: ", I("ISEED", 15))
_IHYD = (" Hydrodynamic calculations?  (0-No, other-Yes):", I("IHYD", 3))
_NPR = (" Radial distribution function P(r) ? (0-NO, other-Number of intervals):", I("NPR", 5))
_RMAX = (" P(r) from r=0.0 to rmax=", F("RMAX", 8))
_MODEL_HEAD = (" Model-specific data", " -------------------")

_AMPL = (" Amplitude of Monte-Carlo coordinate displacement=", F("AMPL", 6))
# The model-specific records of each model code (HOOK is echoed first).
_MODEL_RECORDS: dict[int, tuple[Layout, ...]] = {
    1: ((" Hard sphere diameter=", F("DHS", 7), "  DeltaPhi=", F("DELTAPHI", 7)),),
    2: ((" Hookean constant=", F("HOOK", 5)),
        (" Lennard Jones parameters  EPS=", F("EPS", 4), "  SIG=", F("SIG", 4), "  RCUT=", F("RCUT", 4)),
        _AMPL),
    3: ((" Hookean constant=", F("HOOK", 6)),
        (" Exponential potential parameters  A=", F("A", 6), "  Alpha=", F("ALPHA", 6),
         "  RCUT=", F("RCUT", 4)),
        _AMPL),
}

# A run with pivot moves: one echo record after the model-specific data, one
# report record after the rejection statistics.
_PIVOT_ECHO = (" Pivot moves after the local moves of each cycle, attempts per cycle=",
               I("pivots_per_cycle", 10))
_PIVOT_REPORT = (" Pivot attempts per cycle=", I("reported_pivots", 10),
                 "  Percent of rejected pivots=", F("pivot_rejected_percent", 6))

# The report.
_REPORT_HEAD = (" --------------", " FINAL RESULTS:")
_REJECTED = (" Number of rejected conformations =", I("rejected", 15))
_PERCENT = (" Percent of rejected conformations=", F("rejected_percent", 6))
_R2 = (" Reduced mean square end-to-end distance <r2>*=", F("mean", 7), " +-", F("error", 7))
_S2 = (" Reduced mean square radius of gyration  <s2>*=", F("mean", 7), " +-", F("error", 7))
_D = (" Reduced diffusion coefficient  D*=", F("mean", 9), "+-", F("error", 9))
_ETA = (" Reduced intrinsic viscosity [eta]*=", F("mean", 9), "+-", F("error", 9))
_PR_ROW = (F("r", 6), F("P", 10))

_CODE = re.compile(r" Code ([123])\. \S+ or \S+ model")
_INVALID_CODE = ("Code=", I("ICODE", 3), " is not valid")
_OUTPUT_NAME = " Output file (this file): "
_INPUT_NAME = " Input data file: "
_TITLE = "Program BEADWALKS"
_MAX_CREDIT_LINES = 20

# Stop messages that name the refused item: "N=  150  is not valid. ...".
_REFUSED_ITEM = re.compile(r"(N|NCONFAVE|NPR)=\s*(-?\d+)\s+is not valid")


class _Ended(Exception):
    """The records ran out where more were expected."""


class _Unexpected(Exception):
    """A record is not of the layout expected at its place."""

    def __init__(self, may_stop: bool) -> None:
        super().__init__()
        self.may_stop = may_stop


class _Records:
    """A cursor over the records of the file (without their line ends)."""

    def __init__(self, lines: list[str], cut: bool) -> None:
        self.lines = lines
        self.cut = cut  # the last line has no line end: it may be a record cut short
        self.pos = 0

    def at_end(self) -> bool:
        return self.pos >= len(self.lines)

    def peek(self) -> Optional[str]:
        return None if self.at_end() else self.lines[self.pos]

    def line_number(self) -> int:
        return self.pos + 1

    def last_is_cut(self) -> bool:
        """True when the current record is the cut-short last line of the file."""
        return self.cut and self.pos == len(self.lines) - 1


class _DataSetReader:
    """Reads the records of one data set, between its separator and the next."""

    def __init__(self, records: _Records, end: int, closed: bool, index: int, code: int,
                 warn: Callable[[str], None]) -> None:
        self.records = records
        self.end = end  # index of the next separator, or of the end of the file
        self.closed = closed  # a separator follows the data set
        self.ds = DataSet(index)
        self.code = code
        self.warn = warn

    # -- cursor ------------------------------------------------------------
    def _at_end(self) -> bool:
        return self.records.pos >= self.end

    def _take(self, layout: Layout, may_stop: bool = False, warn: bool = True) -> Match:
        if self._at_end():
            raise _Ended()
        m = read_record(layout, self.records.lines[self.records.pos])
        if m is None:
            raise _Unexpected(may_stop)
        for name in m.overflowed if warn else ():
            self.warn(f"line {self.records.line_number()}: {name} of data set {self.ds.index} "
                      f"is printed as asterisks (too wide for its field); read as missing")
        self.records.pos += 1
        return m

    def _take_if(self, layout: Layout, warn: bool = True) -> Optional[Match]:
        if self._at_end() or read_record(layout, self.records.lines[self.records.pos]) is None:
            return None
        return self._take(layout, warn=warn)

    def _take_lines(self, texts: tuple[str, ...], may_stop: bool = False) -> None:
        for i, text in enumerate(texts):
            self._take((text,), may_stop and i == 0)

    # -- the records of a data set ----------------------------------------
    def _echo(self) -> None:
        ds = self.ds
        # The bead count and the averaging count are refused before the echo.
        self._take_lines(_GENERAL_HEAD, may_stop=True)
        for layout in (_N, _NCONF, _NCONFAVE, _NFREQ, _ISEED, _IHYD):
            self._set(self._take(layout))
        # Too many P(r) intervals are refused after the hydrodynamics item.
        self._set(self._take(_NPR, may_stop=True))
        if ds.NPR is None:
            rmax = self._take_if(_RMAX)  # its presence tells that NPR > 0
            self.has_pr = rmax is not None
            if rmax is not None:
                self._set(rmax)
        elif ds.NPR > 0:
            self._set(self._take(_RMAX))
            self.has_pr = True
        self._take_lines(_MODEL_HEAD)
        # The records hold the parameters in the order of the echo.
        for layout in _MODEL_RECORDS[self.code]:
            ds.parameters.update(self._take(layout).values)
        pivots = self._take_if(_PIVOT_ECHO)
        ds.moves = "local" if pivots is None else "pivot"
        if pivots is not None:
            self._set(pivots)

    def _report(self) -> bool:
        """Reads the report; True when it is known to be whole."""
        ds = self.ds
        # A failure of the simulation stops the run in place of the report.
        self._take_lines(_REPORT_HEAD, may_stop=True)
        self._set(self._take(_REJECTED))
        self._set(self._take(_PERCENT))
        if ds.moves == "pivot":
            # Only a run whose echo announces pivots reports them, with the same count.
            pivots = self._take(_PIVOT_REPORT)
            if pivots.values["reported_pivots"] != ds.pivots_per_cycle:
                self.records.pos -= 1
                raise _Unexpected(may_stop=False)
            ds.pivot_rejected_percent = pivots.values["pivot_rejected_percent"]
        ds.r2 = _estimate(self._take(_R2))
        ds.s2 = _estimate(self._take(_S2))
        if ds.IHYD is None:
            d = self._take_if(_D)
            if d is not None:
                ds.D, ds.eta = _estimate(d), _estimate(self._take(_ETA))
        elif ds.IHYD != 0:
            ds.D, ds.eta = _estimate(self._take(_D)), _estimate(self._take(_ETA))
        if ds.NPR is None:
            # The interval count is not known: the rows run to the next record.
            while self.has_pr and (row := self._take_if(_PR_ROW, warn=False)) is not None:
                ds.pr.append(PrRow(**row.values))
        else:
            # Centres of 100 or more overflow F6.3: one warning for all of them, below.
            for _ in range(max(ds.NPR, 0)):
                ds.pr.append(PrRow(**self._take(_PR_ROW, warn=False).values))
        known = ds.IHYD is not None and ds.NPR is not None
        if not self._at_end():
            if self.records.last_is_cut():
                return known  # what follows the report is cut short, not the report
            raise _Unexpected(may_stop=False)
        return self.closed or known

    def _set(self, m: Match) -> None:
        for name, value in m.values.items():
            setattr(self.ds, name, value)

    # -- the whole data set -----------------------------------------------
    def read(self) -> DataSet:
        self.has_pr = False
        ds = self.ds
        try:
            self._echo()
            whole = self._report()
            ds.status = COMPLETE if whole else INCOMPLETE
        except _Ended:
            ds.status = INCOMPLETE
        except _Unexpected as u:
            self._unexpected(u)
        self._warn_missing_centres()
        self.records.pos = self.end
        return ds

    def _unexpected(self, u: _Unexpected) -> None:
        records, ds = self.records, self.ds
        if records.last_is_cut():
            ds.status = INCOMPLETE
            return
        if not u.may_stop or self.closed:
            line = records.lines[records.pos]
            raise OutputFormatError(f"line {records.line_number()}: unexpected record {line.strip()!r} "
                                    f"in data set {ds.index}")
        lines = records.lines[records.pos:self.end]
        if records.cut:
            lines = lines[:-1] or lines
        ds.status = STOPPED
        ds.message = " ".join(line.strip() for line in lines)
        refused = _REFUSED_ITEM.match(ds.message)
        if refused:
            setattr(ds, refused.group(1), int(refused.group(2)))

    def _warn_missing_centres(self) -> None:
        missing = sum(1 for row in self.ds.pr if row.r is None)
        if missing:
            self.warn(f"data set {self.ds.index}: {missing} P(r) interval centres are printed as "
                      f"asterisks; read as missing")


def _estimate(m: Match) -> Estimate:
    return Estimate(m.values["mean"], m.values["error"])


def _read_bytes(path: str) -> bytes:
    info = os.stat(path)
    if stat.S_ISDIR(info.st_mode):
        raise IsADirectoryError(f"{path} is a directory")
    if not stat.S_ISREG(info.st_mode):
        raise OutputFormatError(f"{path} is not a regular file")
    with open(path, "rb") as f:
        return f.read()


def _split_records(data: bytes, path: str) -> _Records:
    if not data.strip():
        raise OutputFormatError(f"{path} is empty, not an output file of BEADWALKS")
    if b"\0" in data:
        raise OutputFormatError(f"{path} is a binary file, not an output file of BEADWALKS")
    text = data.decode("utf-8", errors="replace")
    lines = text.split("\n")
    cut = lines[-1] != ""
    if not cut:
        lines.pop()
    # Trailing blanks (and the CR of a Windows line end) are never part of a
    # value: every record ends in a field or a literal without them.
    return _Records([line.rstrip() for line in lines], cut)


class _RunReader:
    def __init__(self, path: str, records: _Records) -> None:
        self.run = Run(path=path)
        self.records = records

    def warn(self, text: str) -> None:
        text = f"{self.run.path}: {text}"
        self.run.warnings.append(text)
        warnings.warn(text, FieldOverflowWarning, stacklevel=2)

    def _not_ours(self, why: str) -> OutputFormatError:
        return OutputFormatError(f"{self.run.path} is not an output file of BEADWALKS ({why})")

    def _next(self) -> str:
        line = self.records.peek()
        if line is None:
            raise _Ended()
        self.records.pos += 1
        return line

    def _banner(self) -> None:
        r = self.records
        while r.peek() == "":
            r.pos += 1
        if r.peek() != SEPARATOR:
            raise self._not_ours("no banner")
        r.pos += 1
        if r.peek() is None or r.peek().strip() != _TITLE:
            raise self._not_ours("no program title in the banner")
        r.pos += 1
        for _ in range(_MAX_CREDIT_LINES):
            if self._next() == SEPARATOR:
                break
        else:
            raise self._not_ours("the banner does not end")
        if self._next() != "":
            raise self._not_ours("no empty record after the banner")

    def _header(self) -> bool:
        """Model code and file names; False when the run stopped on its model code."""
        r, run = self.records, self.run
        line = self._next()
        code = _CODE.fullmatch(line)
        if code is None:
            invalid = read_record(_INVALID_CODE, line)
            if invalid is None:
                r.pos -= 1
                if r.last_is_cut():
                    raise _Ended()
                raise self._not_ours(f"line {r.line_number()}: no model-code record")
            run.model_code = invalid.values["ICODE"]
            run.status, run.message = STOPPED, line.strip()
            if not r.at_end():
                raise self._not_ours(f"line {r.line_number()}: records after the stop")
            return False
        run.model_code = int(code.group(1))
        for prefix, attr in ((_OUTPUT_NAME, "output_file"), (_INPUT_NAME, "input_file")):
            line = self._next()
            if not line.startswith(prefix):
                r.pos -= 1
                if r.last_is_cut():
                    raise _Ended()
                raise self._not_ours(f"line {r.line_number()}: no file-name record")
            if r.at_end() and r.cut:
                raise _Ended()  # the name may be cut short
            setattr(run, attr, line[len(prefix):])
        if self._next() != "":
            raise self._not_ours(f"line {r.line_number() - 1}: no empty record after the file names")
        return True

    def _data_sets(self) -> None:
        r, run = self.records, self.run
        while not r.at_end():
            if r.peek() != SEPARATOR:
                if r.last_is_cut():
                    break
                raise self._not_ours(f"line {r.line_number()}: no separator record before a data set")
            r.pos += 1
            end = r.pos
            while end < len(r.lines) and r.lines[end] != SEPARATOR:
                end += 1
            closed = end < len(r.lines)
            if end == r.pos:
                if closed:
                    raise self._not_ours(f"line {r.line_number()}: an empty data set")
                run.status = COMPLETE  # the run ended where a data set would begin
                return
            reader = _DataSetReader(r, end, closed, len(run.data_sets) + 1, run.model_code, self.warn)
            ds = reader.read()
            run.data_sets.append(ds)
            if ds.status == STOPPED:
                run.status, run.message = STOPPED, ds.message
                return

    def read(self) -> Run:
        self._banner_or_fail()
        try:
            if self._header():
                self._data_sets()
        except _Ended:
            self.run.status = INCOMPLETE
        return self.run

    def _banner_or_fail(self) -> None:
        try:
            self._banner()
        except _Ended:
            # The title was seen: a banner cut short is still ours.
            self.run.status = INCOMPLETE
            self.records.pos = len(self.records.lines)


def read_output(path: "str | os.PathLike[str]") -> Run:
    """Reads the output file at ``path`` into a :class:`Run`.

    Raises :class:`OutputFormatError` for a file that is not an output file of
    the program (a foreign, empty or binary file) and ``OSError`` for a file
    that cannot be read. A value printed as asterisks reads as ``None`` and
    issues a :class:`FieldOverflowWarning` (also listed in ``Run.warnings``).
    """
    path = os.fspath(path)
    records = _split_records(_read_bytes(path), path)
    return _RunReader(path, records).read()
