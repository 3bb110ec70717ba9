"""Universal ratios of a data set, in reduced units, with first-order errors.

With lengths in bond lengths b, D* = D / (kT / (6 pi eta0 b)) and
[eta]* = [eta] / (N_A b^3 / M), the ratios that polymer science compares with
experiment are (formulas of the documentation, README "Running it"):

- radius of gyration:      Rg*  = sqrt(<s2>*)
- hydrodynamic radius:     Rh*  = 1 / D*             (Stokes-Einstein, Rh = kT / (6 pi eta0 D))
- rho ratio:               rho  = Rg* / Rh* = sqrt(<s2>*) D*
- Flory viscosity factor:  Phi  = N_A [eta]* / (6 <s2>*)^(3/2)   in mol^-1
                                  (Phi = [eta] M / (6^(3/2) Rg^3))
- friction factor:         P    = 6 pi / (D* sqrt(6 <s2>*))
                                  (P = f / (eta0 sqrt(6 <s2>)), with f = kT / D)

Each ratio is a product c * x1^p1 * x2^p2 of the printed means, so its error
follows by first-order propagation with the printed errors taken as
independent (the program estimates each from the five subsample means, and
their correlation is not printed):

    sigma_Q / |Q| = sqrt( sum_i (p_i sigma_i / x_i)^2 ).
"""

from __future__ import annotations

import math
from typing import Optional, Sequence

from beadwalks.model import DataSet, Estimate

#: The Avogadro constant, mol^-1 (exact since 2019).
AVOGADRO = 6.02214076e23

RATIOS = ("Rg", "Rh", "rho", "Phi", "P")


def power_product(coefficient: float, factors: Sequence[tuple[Optional[Estimate], float]]) -> Optional[Estimate]:
    """Q = coefficient * prod(x_i^p_i) with sigma_Q = |Q| sqrt(sum (p_i sigma_i / x_i)^2).

    ``None`` when a factor is missing, not finite or not positive (a ratio of
    a quantity that cannot be so is not defined); the error is ``None`` when
    one of the printed errors is missing.
    """
    value = coefficient
    relative2: Optional[float] = 0.0
    for estimate, power in factors:
        if estimate is None or estimate.mean is None:
            return None
        x = estimate.mean
        if not math.isfinite(x) or x <= 0.0:
            return None
        value *= x ** power
        if relative2 is not None:
            if estimate.error is None or not math.isfinite(estimate.error):
                relative2 = None
            else:
                relative2 += (power * estimate.error / x) ** 2
    error = None if relative2 is None else abs(value) * math.sqrt(relative2)
    return Estimate(value, error)


def radius_of_gyration(s2: Optional[Estimate]) -> Optional[Estimate]:
    """Rg* = sqrt(<s2>*)."""
    return power_product(1.0, [(s2, 0.5)])


def hydrodynamic_radius(D: Optional[Estimate]) -> Optional[Estimate]:
    """Rh* = 1 / D*."""
    return power_product(1.0, [(D, -1.0)])


def rho_ratio(s2: Optional[Estimate], D: Optional[Estimate]) -> Optional[Estimate]:
    """rho = Rg* / Rh* = sqrt(<s2>*) D*."""
    return power_product(1.0, [(s2, 0.5), (D, 1.0)])


def flory_factor(s2: Optional[Estimate], eta: Optional[Estimate]) -> Optional[Estimate]:
    """Phi = N_A [eta]* / (6 <s2>*)^(3/2), in mol^-1."""
    return power_product(AVOGADRO * 6.0 ** -1.5, [(eta, 1.0), (s2, -1.5)])


def friction_factor(s2: Optional[Estimate], D: Optional[Estimate]) -> Optional[Estimate]:
    """P = 6 pi / (D* sqrt(6 <s2>*))."""
    return power_product(6.0 * math.pi / math.sqrt(6.0), [(D, -1.0), (s2, -0.5)])


def derived_ratios(ds: DataSet) -> dict[str, Optional[Estimate]]:
    """Rg, Rh, rho, Phi and P of a data set; the hydrodynamic ones are ``None`` without D*, [eta]*."""
    return {
        "Rg": radius_of_gyration(ds.s2),
        "Rh": hydrodynamic_radius(ds.D),
        "rho": rho_ratio(ds.s2, ds.D),
        "Phi": flory_factor(ds.s2, ds.eta),
        "P": friction_factor(ds.s2, ds.D),
    }
