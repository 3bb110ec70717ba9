"""Long-chain limits: the universal ratios extrapolated to N -> infinity.

The ratios of a chain of N beads approach their long-chain values with
corrections of order N^(-1/2) (the leading correction of the hydrodynamic
interaction between beads), so rigid-body Monte Carlo studies fit each ratio
as a straight line in x = N^(-1/2) and read the limit at x = 0:

    Q(N) = Q_inf + b N^(-1/2).

With points (x_i, y_i, sigma_i) and weights w_i = 1 / sigma_i^2, the
weighted least-squares line y = a + b x has

    S = sum w,  Sx = sum w x,  Sy = sum w y,  Sxx = sum w x^2,  Sxy = sum w x y,
    Delta = S Sxx - Sx^2,
    a = (Sxx Sy - Sx Sxy) / Delta,   sigma_a = sqrt(Sxx / Delta),
    b = (S Sxy - Sx Sy) / Delta,     sigma_b = sqrt(S / Delta),
    chi2 / dof = sum w (y - a - b x)^2 / (n - 2).

When the reduced chi-square exceeds 1 the points scatter more than their
errors say and sigma_a, sigma_b are scaled by sqrt(chi2 / dof); the unscaled
values are kept too. Fitted: rho, Phi, P (see :mod:`beadwalks.ratios`) and,
for completeness, <r2>*/(N-1) and <s2>*/(N-1), whose limits are the
characteristic ratios of the chain per bond. A point is a complete data set
with the quantity and a finite error; errors printed as zero count as half a
unit of their last decimal, as in the power-law fits.
"""

from __future__ import annotations

import dataclasses
import math
from dataclasses import dataclass
from typing import TYPE_CHECKING, Optional, Sequence, Union

import numpy as np

from beadwalks.fits import MIN_CHAIN_LENGTHS, PRINTED_DECIMALS, scaled_error, weighted_line_fit
from beadwalks.model import DataSet, Estimate, Run
from beadwalks.ratios import flory_factor, friction_factor, rho_ratio

if TYPE_CHECKING:
    from beadwalks.diagnosis import DataSetDiagnosis, Diagnosis

#: A diagnosis of the run's data file, or one diagnosis (or None) per data set of the run.
Diagnoses = Union["Diagnosis", Sequence[Optional["DataSetDiagnosis"]]]

#: The extrapolated quantities, in the order they are reported.
LIMIT_PROPERTIES = ("rho", "Phi", "P", "r2_per_bond", "s2_per_bond")
LIMIT_LABELS = {"rho": "rho", "Phi": "Phi", "P": "P", "r2_per_bond": "<r2>*/(N-1)", "s2_per_bond": "<s2>*/(N-1)"}


@dataclass(frozen=True)
class LongChainLimit:
    """Q(N) = limit + slope N^(-1/2), fitted to ``n_points`` data sets.

    ``limit_error`` and ``slope_error`` are scaled by sqrt(reduced_chi2) when
    that exceeds 1 (``limit_error_unscaled`` is not); ``reduced_chi2`` is
    None with two points.
    """

    property: str
    limit: float
    limit_error: float
    slope: float
    slope_error: float
    reduced_chi2: Optional[float]
    n_points: int
    limit_error_unscaled: float

    def __call__(self, x: "float | np.ndarray") -> "float | np.ndarray":
        """The line at x = N^(-1/2)."""
        return self.limit + self.slope * np.asarray(x, dtype=float)


def weighted_line(x: Sequence[float], y: Sequence[float], sigma: Sequence[float], name: str = "") -> LongChainLimit:
    """The weighted straight line y = a + b x (formulas in the module docstring)."""
    x, y, sigma = (np.asarray(v, dtype=float) for v in (x, y, sigma))
    line = weighted_line_fit(x, y, 1.0 / sigma ** 2, "a line")
    reduced = line.reduced_chi2
    return LongChainLimit(name, line.intercept, scaled_error(line.intercept_error, reduced), line.slope,
                          scaled_error(line.slope_error, reduced), reduced, len(x), line.intercept_error)


def _floored(e: Optional[Estimate], name: str) -> Optional[Estimate]:
    if e is None or e.mean is None or e.error is None:
        return e
    return Estimate(e.mean, max(e.error, 0.5 * 10.0 ** -PRINTED_DECIMALS[name]))


def _per_bond(e: Optional[Estimate], N: int) -> Optional[Estimate]:
    if e is None or e.mean is None or e.error is None or N < 2:
        return None
    return Estimate(e.mean / (N - 1), e.error / (N - 1))


def limit_points(ds: DataSet) -> dict[str, Optional[Estimate]]:
    """The quantities of one data set that are extrapolated, with their errors."""
    s2, D, eta = (_floored(getattr(ds, name), name) for name in ("s2", "D", "eta"))
    return {"rho": rho_ratio(s2, D), "Phi": flory_factor(s2, eta), "P": friction_factor(s2, D),
            "r2_per_bond": _per_bond(_floored(ds.r2, "r2"), ds.N or 0), "s2_per_bond": _per_bond(s2, ds.N or 0)}


def _usable(e: Optional[Estimate]) -> bool:
    return (e is not None and e.mean is not None and e.error is not None and math.isfinite(e.mean)
            and math.isfinite(e.error) and e.error > 0.0)


def _honest(e: Optional[Estimate], error_autocorr: Optional[float]) -> Optional[Estimate]:
    if e is None or e.mean is None or e.error is None or error_autocorr is None or not math.isfinite(error_autocorr):
        return e
    return Estimate(e.mean, max(e.error, error_autocorr))


def with_autocorrelation_errors(data_sets: Sequence[DataSet], diagnoses: Optional[Diagnoses]) -> list[DataSet]:
    """The data sets with each error of <r2>*, <s2>*, D* and [eta]* the larger of the
    report's (five subsamples) and the autocorrelation's, where a diagnosis of the same
    run is given (same N, NCONF and NCONFAVE, in the order of the file).

    Five subsamples of a correlated series can give an error bar several times
    too small (the verdict "error bar too small"); weighted by it, one such data
    set would pull a fit towards itself. A data set without a diagnosis of its
    own run keeps its printed errors.
    """
    if diagnoses is None:
        return list(data_sets)
    per_data_set = list(getattr(diagnoses, "data_sets", diagnoses))
    out = []
    for k, ds in enumerate(data_sets):
        d = per_data_set[k] if k < len(per_data_set) else None
        if d is None or (d.N, d.NCONF, d.NCONFAVE) != (ds.N, ds.NCONF, ds.NCONFAVE):
            out.append(ds)
            continue
        changes = {name: _honest(getattr(ds, name), d.properties[name].error_autocorr)
                   for name in ("r2", "s2", "D", "eta") if name in d.properties}
        out.append(dataclasses.replace(ds, **changes))
    return out


def long_chain_limits(run: "Run | Sequence[DataSet]",
                      diagnosis: Optional[Diagnoses] = None) -> dict[str, Optional[LongChainLimit]]:
    """Each quantity of :data:`LIMIT_PROPERTIES` fitted against N^(-1/2), or None where fewer
    than three complete data sets of different N have it. With ``diagnosis`` (of the same
    data sets) each point is weighted by the larger of its printed and its autocorrelation
    error (:func:`with_autocorrelation_errors`)."""
    data_sets = with_autocorrelation_errors(run.data_sets if isinstance(run, Run) else list(run), diagnosis)
    points: dict[str, list[tuple[int, Estimate]]] = {name: [] for name in LIMIT_PROPERTIES}
    for ds in data_sets:
        if not ds.complete or not ds.N or ds.N < 2:
            continue
        for name, e in limit_points(ds).items():
            if _usable(e):
                points[name].append((ds.N, e))
    limits: dict[str, Optional[LongChainLimit]] = {}
    for name, pts in points.items():
        if len({n for n, _ in pts}) < MIN_CHAIN_LENGTHS:
            limits[name] = None
            continue
        limits[name] = weighted_line([n ** -0.5 for n, _ in pts], [e.mean for _, e in pts],
                                     [e.error for _, e in pts], name)
    return limits


def fitted_limits(run: "Run | Sequence[DataSet]", diagnosis: Optional[Diagnoses] = None) -> list[LongChainLimit]:
    """The limits that could be fitted, in the order of :data:`LIMIT_PROPERTIES`."""
    return [v for v in long_chain_limits(run, diagnosis).values() if v is not None]
