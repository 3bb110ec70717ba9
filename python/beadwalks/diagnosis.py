"""Whether the error bars hold: ``beadwalks-diagnose --json`` from Python, and refined inputs.

``diagnose(code, data)`` runs every data set as the program does and keeps
the series of <r2>*, <s2>* (and D*, [eta]*) over the sampled conformations;
the companion measures each property's integrated autocorrelation time, its
effective sample count and burn-in, gives a verdict (``reliable`` or the
problems found) and advice (``NCONF = ... with NCONFAVE = ... (NFREQ = ...)``
or ``none``). :meth:`Diagnosis.refined_inputs` turns that advice into the
data sets to run next.
"""

from __future__ import annotations

import json
import os
import re
import tempfile
import warnings
from dataclasses import dataclass, field
from typing import Any, Optional, Sequence, Union

from beadwalks.inputs import INT32_MAX, MIN_NCONFAVE, DataSetInput, PathLike
from beadwalks.running import RunError, find_executable, prepare_data, run_process, stop_message

RELIABLE = "reliable"
_ADVICE = re.compile(r"NCONF = (\d+) with NCONFAVE = (\d+) \(NFREQ = (-?\d+)\)")


class RefinementCapped(UserWarning):
    """The cycles a data set needs exceed ``max_cycles``: it gets ``max_cycles`` only."""


@dataclass(frozen=True)
class PropertyDiagnosis:
    """One averaged property of a data set: ``mean``, ``error_subsamples`` (the
    report's five-subsample error), ``tau_samples`` and ``tau_cycles`` (the
    integrated autocorrelation time), ``n_eff`` (independent samples),
    ``error_autocorr``, ``burn_in_samples``, ``burn_in_shift``, ``verdict`` and
    ``advice``. Values the series cannot give are None."""

    name: str
    mean: Optional[float]
    error_subsamples: Optional[float]
    tau_samples: Optional[float]
    tau_cycles: Optional[float]
    n_eff: Optional[float]
    error_autocorr: Optional[float]
    burn_in_samples: Optional[int]
    burn_in_shift: Optional[float]
    verdict: str
    advice: str

    @property
    def reliable(self) -> bool:
        return self.verdict == RELIABLE

    def advised_run(self) -> Optional[tuple[int, int]]:
        """(NCONF, NCONFAVE) of the first run the advice names, at the data set's NFREQ; None for none."""
        m = _ADVICE.search(self.advice)
        return (int(m.group(1)), int(m.group(2))) if m else None


@dataclass(frozen=True)
class DataSetDiagnosis:
    """The diagnosis of one data set: ``index`` (from 1), ``N``, ``NCONF``, ``NCONFAVE``,
    ``NFREQ``, ``report`` (the printed means and errors) and ``properties`` by name
    (``r2``, ``s2``, ``D``, ``eta``), also as attributes: ``d.r2.tau_cycles``."""

    index: int
    N: int
    NCONF: int
    NCONFAVE: int
    NFREQ: int
    report: dict[str, dict[str, Optional[float]]]
    properties: dict[str, PropertyDiagnosis]

    def __getattr__(self, name: str) -> PropertyDiagnosis:
        properties = self.__dict__.get("properties", {})
        if name in properties:
            return properties[name]
        raise AttributeError(name)

    @property
    def reliable(self) -> bool:
        """Every property's verdict is ``reliable``."""
        return all(p.reliable for p in self.properties.values())

    @property
    def verdicts(self) -> dict[str, str]:
        return {name: p.verdict for name, p in self.properties.items()}


class RefinedInputs(list):
    """The refined data sets (a list), with ``capped``: the indices (from 1) that ``max_cycles`` held back."""

    def __init__(self, data_sets: Sequence[DataSetInput], capped: Sequence[int]) -> None:
        super().__init__(data_sets)
        self.capped = list(capped)


@dataclass
class Diagnosis:
    """The diagnosis of a data file: ``data_sets`` (every one diagnosed, also when a
    later one stopped the run) and, for such a stop, ``status`` and ``message``."""

    data_sets: list[DataSetDiagnosis] = field(default_factory=list)
    status: int = 0
    message: Optional[str] = None

    @property
    def reliable(self) -> bool:
        return self.status == 0 and all(ds.reliable for ds in self.data_sets)

    def refined_inputs(self, data_sets: Sequence[DataSetInput], *,
                       max_cycles: Optional[int] = None) -> RefinedInputs:
        """``data_sets`` (those diagnosed, in order) with NCONF and NCONFAVE set to reach the advice.

        For each data set that is not reliable, every property's advice names
        a run at the data set's NFREQ; the largest NCONFAVE among them is
        taken, with NCONF = NCONFAVE x NFREQ (so that one run at one sampling
        rate satisfies every property), never less than the data set had. The
        seeds stay; reliable data sets, and those whose advice asks for
        nothing more (``none``), are returned as they are. ``max_cycles``
        caps NCONF (and NCONF stays within 32 bits): such a data set gets
        max_cycles cycles at its NFREQ, a :class:`RefinementCapped` warning
        says so, and its index is in the result's ``capped``.
        """
        if max_cycles is not None and (isinstance(max_cycles, bool) or not isinstance(max_cycles, int)
                                       or max_cycles < 1):
            raise ValueError(f"max_cycles = {max_cycles!r}: must be a positive integer")
        diagnosed = {d.index: d for d in self.data_sets}
        refined, capped = [], []
        for k, ds in enumerate(data_sets, start=1):
            d = diagnosed.get(k)
            if d is None or d.reliable:
                refined.append(ds)
                continue
            runs = [r for r in (p.advised_run() for p in d.properties.values()) if r is not None]
            if not runs:
                refined.append(ds)
                continue
            NFREQ = max(ds.NFREQ, 1)
            NCONFAVE = max(max(nconfave for _, nconfave in runs), ds.NCONFAVE)
            NCONF = max(NCONFAVE * NFREQ, ds.NCONF)
            limit = min(max_cycles or INT32_MAX, INT32_MAX)
            if NCONF > limit:
                capped.append(k)
                warnings.warn(f"data set {k}: needs {NCONF} cycles, given {limit}"
                              + (" (max_cycles)" if max_cycles and max_cycles <= INT32_MAX else
                                 " (the most one data set holds)"), RefinementCapped, stacklevel=2)
                NCONF = max(limit, ds.NCONF)
                NCONFAVE = max(min(NCONF // NFREQ, NCONFAVE), MIN_NCONFAVE)
            refined.append(ds.with_items(NCONF=NCONF, NCONFAVE=NCONFAVE))
        return RefinedInputs(refined, capped)


def _property(name: str, d: dict[str, Any]) -> PropertyDiagnosis:
    return PropertyDiagnosis(name=name, mean=d.get("mean"), error_subsamples=d.get("error_subsamples"),
                             tau_samples=d.get("tau_samples"), tau_cycles=d.get("tau_cycles"),
                             n_eff=d.get("n_eff"), error_autocorr=d.get("error_autocorr"),
                             burn_in_samples=d.get("burn_in_samples"), burn_in_shift=d.get("burn_in_shift"),
                             verdict=d.get("verdict", ""), advice=d.get("advice", ""))


def diagnosis_from_json(document: dict[str, Any]) -> Diagnosis:
    """A :class:`Diagnosis` from the document ``beadwalks-diagnose --json`` writes."""
    sets = []
    for d in document.get("data_sets", []):
        properties = {name: _property(name, p) for name, p in d.get("properties", {}).items()}
        sets.append(DataSetDiagnosis(index=d["index"], N=d["N"], NCONF=d["NCONF"], NCONFAVE=d["NCONFAVE"],
                                     NFREQ=d["NFREQ"], report=d.get("report", {}), properties=properties))
    return Diagnosis(sets)


def diagnose(code: int, data: Union[PathLike, Sequence[DataSetInput]], *,
             executable: Optional[PathLike] = None, cpus: Optional[int] = None,
             raise_on_stop: bool = True) -> Diagnosis:
    """Runs ``beadwalks-diagnose --json`` on ``data`` (a data file or a list of
    :class:`DataSetInput`) with model ``code`` and returns its diagnosis.

    A run that stops raises :class:`RunError` whose ``run`` is None, unless
    ``raise_on_stop`` is False: the diagnosis then holds the data sets done
    before the stop, with ``status`` and ``message``.
    """
    from beadwalks.running import _cpu_prefix  # the same CPU rule as run()

    if code not in (1, 2, 3) or isinstance(code, bool):
        raise ValueError(f"model code {code!r}: must be 1, 2 or 3")
    command = _cpu_prefix(cpus) + [find_executable("beadwalks-diagnose", executable)]
    with tempfile.TemporaryDirectory(prefix="beadwalks-diagnose-") as folder:
        if isinstance(data, (str, bytes, os.PathLike)):
            infile = os.fspath(data)
            if not os.path.exists(infile):
                raise FileNotFoundError(f"no data file {infile}")
        else:
            infile = prepare_data(code, data, os.path.join(folder, "data.out"))
        report = os.path.join(folder, "diagnosis.json")
        status, out_tail, err_tail = run_process(command + [str(code), infile, "--json", report], None)
        try:
            with open(report, encoding="utf-8") as f:
                result = diagnosis_from_json(json.load(f))
        except (OSError, ValueError):
            result = Diagnosis()
    if status != 0:
        message = stop_message(status, None, out_tail, err_tail) if status != 1 else \
            next((line.strip() for line in reversed(out_tail) if line.strip()), "stopped")
        result.status, result.message = status, message
        if raise_on_stop:
            raise RunError(status, message, None)
    return result
