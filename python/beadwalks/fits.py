"""Power laws in the chain length: property = A N^x, fitted in log-log.

With y_i = ln(property_i), t_i = ln(N_i) and sigma_i = error_i / property_i
(the first-order error of the logarithm), the weighted least-squares line
y = a + x t with weights w_i = 1 / sigma_i^2 is

    S = sum w,  St = sum w t,  Sy = sum w y,  Stt = sum w t^2,  Sty = sum w t y,
    Delta = S Stt - St^2,
    x = (S Sty - St Sy) / Delta,   a = (Stt Sy - St Sty) / Delta,
    sigma_x = sqrt(S / Delta),     A = exp(a).

The printed errors are taken as the standard deviations of the points. The
scatter about the line is chi2 = sum w (y - a - x t)^2, with n - 2 degrees of
freedom; when the reduced chi-square chi2 / (n - 2) exceeds 1 the points
scatter more than their errors say (five-subsample errors are themselves
uncertain by about a third, and a power law holds only asymptotically), and
sigma_x is scaled by sqrt(chi2 / (n - 2)); the unscaled value is kept as
``exponent_error_unscaled``. An error printed as zero means it is below half
a unit of the last printed decimal, and that half unit is used instead, so
that no point gets an infinite weight.
"""

from __future__ import annotations

import math
from dataclasses import dataclass
from typing import Optional, Sequence

import numpy as np

from beadwalks.model import PROPERTIES, DataSet, Estimate

#: Decimals with which the report prints each property (F7.3, F9.5, F9.3).
PRINTED_DECIMALS = {"r2": 3, "s2": 3, "D": 5, "eta": 3}

#: Fewest distinct chain lengths for a fit.
MIN_CHAIN_LENGTHS = 3


@dataclass(frozen=True)
class PowerLaw:
    """property = prefactor * N^exponent, from ``n_points`` data sets.

    ``exponent_error`` is scaled by sqrt(reduced_chi2) when that exceeds 1;
    ``reduced_chi2`` is None with two points (no degree of freedom left).
    """

    property: str
    exponent: float
    exponent_error: float
    prefactor: float
    n_points: int
    reduced_chi2: Optional[float] = None
    exponent_error_unscaled: Optional[float] = None

    def __call__(self, N: "float | np.ndarray") -> "float | np.ndarray":
        return self.prefactor * np.power(N, self.exponent)


@dataclass(frozen=True)
class Line:
    """y = intercept + slope t by weighted least squares, with the unscaled errors and chi2/dof."""

    intercept: float
    slope: float
    intercept_error: float
    slope_error: float
    reduced_chi2: Optional[float]


def weighted_line_fit(t: np.ndarray, y: np.ndarray, w: np.ndarray, what: str) -> Line:
    """The weighted straight line through (t, y) with weights w (formulas in the module docstring)."""
    S, St, Sy = w.sum(), (w * t).sum(), (w * y).sum()
    Stt, Sty = (w * t * t).sum(), (w * t * y).sum()
    delta = S * Stt - St * St
    if not delta > 0.0:
        raise ValueError(f"{what} needs at least two different chain lengths")
    x = (S * Sty - St * Sy) / delta
    a = (Stt * Sy - St * Sty) / delta
    return Line(float(a), float(x), float(math.sqrt(Stt / delta)), float(math.sqrt(S / delta)),
                reduced_chi_square(w, y - a - x * t))


def weighted_power_law(N: Sequence[float], values: Sequence[float], errors: Sequence[float],
                       name: str = "") -> PowerLaw:
    """Fits values = A N^x by weighted least squares in log-log (formulas in the module docstring)."""
    t = np.log(np.asarray(N, dtype=float))
    y = np.log(np.asarray(values, dtype=float))
    w = (np.asarray(values, dtype=float) / np.asarray(errors, dtype=float)) ** 2
    line = weighted_line_fit(t, y, w, "a power law")
    return PowerLaw(name, line.slope, scaled_error(line.slope_error, line.reduced_chi2), float(math.exp(line.intercept)),
                    len(t), line.reduced_chi2, line.slope_error)


def reduced_chi_square(weights: np.ndarray, residuals: np.ndarray) -> Optional[float]:
    """sum w r^2 / (n - 2) of a straight-line fit; None without a degree of freedom."""
    dof = len(residuals) - 2
    return float((weights * residuals ** 2).sum() / dof) if dof > 0 else None


def scaled_error(sigma: float, reduced_chi2: Optional[float]) -> float:
    """sigma times sqrt(reduced chi-square) when the points scatter more than their errors."""
    return sigma * math.sqrt(reduced_chi2) if reduced_chi2 is not None and reduced_chi2 > 1.0 else sigma


def _usable(estimate: Optional[Estimate]) -> bool:
    return (estimate is not None and estimate.mean is not None and estimate.error is not None
            and math.isfinite(estimate.mean) and estimate.mean > 0.0 and math.isfinite(estimate.error))


def fit_property(data_sets: Sequence[DataSet], name: str) -> Optional[PowerLaw]:
    """The power law of one property over the complete data sets, or ``None``.

    A data set counts when its N and the property's mean and error were
    printed (a positive, finite mean); a fit needs three different N.
    """
    floor = 0.5 * 10.0 ** -PRINTED_DECIMALS[name]
    points = [(ds.N, getattr(ds, name)) for ds in data_sets
              if ds.complete and ds.N is not None and ds.N > 0 and _usable(getattr(ds, name))]
    if len({n for n, _ in points}) < MIN_CHAIN_LENGTHS:
        return None
    return weighted_power_law([n for n, _ in points], [e.mean for _, e in points],
                              [max(e.error, floor) for _, e in points], name)


def fit_power_laws(data_sets: Sequence[DataSet]) -> list[PowerLaw]:
    """The power laws of <r2>*, <s2>*, D* and [eta]* that the data sets allow."""
    fits = (fit_property(data_sets, name) for name in PROPERTIES)
    return [f for f in fits if f is not None]
