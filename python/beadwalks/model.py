"""Plain objects for what an output file holds: a run and its data sets.

All quantities are in the program's reduced units: lengths in bond lengths b,
D* in kT / (6 pi eta0 b), [eta]* in N_A b^3 / M. A value printed as asterisks
(too wide for its field) is ``None``.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from typing import Any, Optional

COMPLETE = "complete"
STOPPED = "stopped"
INCOMPLETE = "incomplete"

#: Model code -> the name of its family, as the output file states it.
MODEL_NAMES = {1: "RL or RLHS", 2: "GS or GSLJ", 3: "SS or SSSR"}

#: Model code -> the names of its parameters, in the order of the echo.
MODEL_PARAMETERS = {
    1: ("DHS", "DELTAPHI"),
    2: ("HOOK", "EPS", "SIG", "RCUT", "AMPL"),
    3: ("HOOK", "A", "ALPHA", "RCUT", "AMPL"),
}

#: The echoed general items of a data set, in the order of the echo.
GENERAL_ITEMS = ("N", "NCONF", "NCONFAVE", "NFREQ", "ISEED", "IHYD", "NPR", "RMAX")

#: The averaged properties of the report, with the labels of the output file.
PROPERTIES = ("r2", "s2", "D", "eta")
PROPERTY_LABELS = {"r2": "<r2>*", "s2": "<s2>*", "D": "D*", "eta": "[eta]*"}


@dataclass(frozen=True)
class Estimate:
    """A mean and its standard error (from the five subsamples), as printed."""

    mean: Optional[float]
    error: Optional[float]


@dataclass(frozen=True)
class PrRow:
    """One interval of P(r*): its centre r* and the fraction of conformations in it."""

    r: Optional[float]
    P: Optional[float]


@dataclass
class DataSet:
    """One data set of a run: the echoed items, the report and a status.

    ``status`` is ``"complete"`` (the whole report is there), ``"stopped"``
    (the program stopped on this data set; ``message`` holds its message) or
    ``"incomplete"`` (the file ends inside the data set). Items the file does
    not reach are ``None``; ``D`` and ``eta`` are ``None`` without
    hydrodynamics and ``pr`` is empty without P(r). ``moves`` is ``"local"``
    for the model's local moves alone (``beadwalks``) and ``"pivot"`` when
    every cycle was followed by ``pivots_per_cycle`` pivot attempts, of which
    ``pivot_rejected_percent`` were refused (``beadwalks-run --moves pivot``).
    """

    index: int
    status: str = INCOMPLETE
    message: Optional[str] = None
    N: Optional[int] = None
    NCONF: Optional[int] = None
    NCONFAVE: Optional[int] = None
    NFREQ: Optional[int] = None
    ISEED: Optional[int] = None
    IHYD: Optional[int] = None
    NPR: Optional[int] = None
    RMAX: Optional[float] = None
    parameters: dict[str, Optional[float]] = field(default_factory=dict)
    rejected: Optional[int] = None
    rejected_percent: Optional[float] = None
    r2: Optional[Estimate] = None
    s2: Optional[Estimate] = None
    D: Optional[Estimate] = None
    eta: Optional[Estimate] = None
    pr: list[PrRow] = field(default_factory=list)
    moves: Optional[str] = None
    pivots_per_cycle: Optional[int] = None
    pivot_rejected_percent: Optional[float] = None

    def __getitem__(self, name: str) -> Any:
        """An echoed item by its name: a general item or a model parameter."""
        if name in GENERAL_ITEMS:
            return getattr(self, name)
        return self.parameters[name]

    @property
    def complete(self) -> bool:
        return self.status == COMPLETE

    @property
    def hydrodynamics(self) -> bool:
        """True when the report holds D* and [eta]*."""
        return self.D is not None or self.eta is not None


@dataclass
class Run:
    """A whole output file: model code, file names, data sets and a status.

    ``status`` is ``"complete"`` when the file ends where a data set would
    begin (the run reached its end), ``"stopped"`` when the program stopped
    with a message (an invalid model code, or the last data set stopped) and
    ``"incomplete"`` when the file is cut short. ``warnings`` lists the fields
    read as missing.
    """

    path: str
    model_code: Optional[int] = None
    input_file: Optional[str] = None
    output_file: Optional[str] = None
    data_sets: list[DataSet] = field(default_factory=list)
    status: str = INCOMPLETE
    message: Optional[str] = None
    warnings: list[str] = field(default_factory=list)

    @property
    def model_name(self) -> Optional[str]:
        return MODEL_NAMES.get(self.model_code) if self.model_code is not None else None

    def complete_data_sets(self) -> list[DataSet]:
        return [ds for ds in self.data_sets if ds.complete]

    def to_dataframe(self) -> Any:
        """The data sets as a pandas DataFrame, one row each (needs pandas)."""
        try:
            import pandas
        except ImportError as e:
            raise ImportError("Run.to_dataframe needs pandas (Debian: apt-get install python3-pandas)") from e
        from beadwalks.export import data_set_rows

        return pandas.DataFrame(data_set_rows(self))
