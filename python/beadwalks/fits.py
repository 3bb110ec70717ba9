"""Power laws in the chain length: property = A N^x, fitted in log-log.

With y_i = ln(property_i), t_i = ln(N_i) and sigma_i = error_i / property_i
(the first-order error of the logarithm), the weighted least-squares line
y = a + x t with weights w_i = 1 / sigma_i^2 is

    S = sum w,  St = sum w t,  Sy = sum w y,  Stt = sum w t^2,  Sty = sum w t y,
    Delta = S Stt - St^2,
    x = (S Sty - St Sy) / Delta,   a = (Stt Sy - St Sty) / Delta,
    sigma_x = sqrt(S / Delta),     A = exp(a).

The printed errors are taken as the standard deviations of the points
(sigma_x is not rescaled by the scatter about the line). An error printed as
zero means it is below half a unit of the last printed decimal, and that
half unit is used instead, so that no point gets an infinite weight.
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
    """property = prefactor * N^exponent, from ``n_points`` data sets."""

    property: str
    exponent: float
    exponent_error: float
    prefactor: float
    n_points: int

    def __call__(self, N: "float | np.ndarray") -> "float | np.ndarray":
        return self.prefactor * np.power(N, self.exponent)


def weighted_power_law(N: Sequence[float], values: Sequence[float], errors: Sequence[float],
                       name: str = "") -> PowerLaw:
    """Fits values = A N^x by weighted least squares in log-log (formulas in the module docstring)."""
    t = np.log(np.asarray(N, dtype=float))
    y = np.log(np.asarray(values, dtype=float))
    w = (np.asarray(values, dtype=float) / np.asarray(errors, dtype=float)) ** 2
    S, St, Sy = w.sum(), (w * t).sum(), (w * y).sum()
    Stt, Sty = (w * t * t).sum(), (w * t * y).sum()
    delta = S * Stt - St * St
    if not delta > 0.0:
        raise ValueError("a power law needs at least two different chain lengths")
    x = (S * Sty - St * Sy) / delta
    a = (Stt * Sy - St * Sty) / delta
    return PowerLaw(name, float(x), float(math.sqrt(S / delta)), float(math.exp(a)), len(t))


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
