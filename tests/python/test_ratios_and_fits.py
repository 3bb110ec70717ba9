"""Universal ratios against hand calculations; power-law fits on synthetic and real data."""

from __future__ import annotations

import math

import numpy as np
import pytest
from conftest import SERIES_HOOK, SERIES_N

from beadwalks import read_output
from beadwalks.fits import fit_power_laws, fit_property, weighted_power_law
from beadwalks.model import DataSet, Estimate
from beadwalks.ratios import AVOGADRO, derived_ratios


def approx(mean, error, rel=1e-6):
    return Estimate(pytest.approx(mean, rel=rel), pytest.approx(error, rel=rel))


def test_ratios_match_a_hand_calculation():
    # <s2>* = 6 +- 0.3 (5 %), D* = 0.5 +- 0.01 (2 %), [eta]* = 216 +- 4.32 (2 %): 6 <s2>* = 36.
    ds = DataSet(1, status="complete", s2=Estimate(6.0, 0.3), D=Estimate(0.5, 0.01), eta=Estimate(216.0, 4.32))
    r = derived_ratios(ds)
    assert r["Rg"] == approx(2.4494897, 2.4494897 * 0.025)           # sqrt(6); half of 5 %
    assert r["Rh"] == approx(2.0, 0.04)                              # 1 / 0.5; 2 %
    assert r["rho"] == approx(1.2247449, 1.2247449 * 0.0320156)      # sqrt(2.5^2 + 2^2) %
    assert r["Phi"] == approx(AVOGADRO, AVOGADRO * 0.0776209)        # 216 / 36^1.5 = 1; sqrt(2^2 + 7.5^2) %
    assert r["P"] == approx(2.0 * math.pi, 2.0 * math.pi * 0.0320156)  # 6 pi / (0.5 * 6)


def test_ratios_need_positive_printed_values():
    missing = derived_ratios(DataSet(1, s2=Estimate(None, 0.1), D=Estimate(0.5, 0.01)))
    assert [k for k, v in missing.items() if v is not None] == ["Rh"]  # the only ratio without <s2>*
    no_hydro = derived_ratios(DataSet(1, s2=Estimate(4.0, None)))
    assert no_hydro["Rg"] == Estimate(2.0, None)
    assert no_hydro["Rh"] is None and no_hydro["rho"] is None and no_hydro["Phi"] is None
    assert derived_ratios(DataSet(1, s2=Estimate(4.0, 0.1), D=Estimate(0.0, 0.0)))["Rh"] is None
    assert derived_ratios(DataSet(1, s2=Estimate(math.inf, 0.1)))["Rg"] is None


def test_fit_recovers_a_known_exponent_on_synthetic_data():
    N = np.array([10, 20, 40, 80, 100])
    exact = 1.7 * N ** 0.588
    fit = weighted_power_law(N, exact, 0.02 * exact)
    assert fit.exponent == pytest.approx(0.588, abs=1e-12) and fit.prefactor == pytest.approx(1.7, rel=1e-12)
    rng = np.random.default_rng(5)
    exponents = []
    for _ in range(200):
        noisy = exact * (1.0 + 0.02 * rng.standard_normal(len(N)))
        exponents.append(weighted_power_law(N, noisy, 0.02 * noisy).exponent)
    # The scatter of the fitted exponents is the stated error (to first order).
    assert np.mean(exponents) == pytest.approx(0.588, abs=0.005)
    assert np.std(exponents) == pytest.approx(fit.exponent_error, rel=0.15)


def test_exponent_error_matches_a_hand_calculation():
    # ln N = 0, 1, 2 with one relative error e: S = 3/e^2, St = 3/e^2, Stt = 5/e^2,
    # Delta = 6/e^4, sigma_x = sqrt(S / Delta) = e / sqrt(2).
    fit = weighted_power_law(np.exp([0.0, 1.0, 2.0]), [1.0, 2.0, 4.5], [0.03, 0.06, 0.135])
    assert fit.exponent_error_unscaled == pytest.approx(0.03 / math.sqrt(2.0))
    assert fit.n_points == 3
    # Residuals of ln y = (0, ln 2, ln 4.5) about the line: d, -2 d, d with
    # d = (2 ln 2 - ln 4.5) / 6; chi2 = 6 d^2 / e^2 on one degree of freedom.
    d = (2.0 * math.log(2.0) - math.log(4.5)) / 6.0
    assert fit.reduced_chi2 == pytest.approx(6.0 * d * d / 0.03 ** 2)
    assert fit.reduced_chi2 > 1.0 and fit.exponent_error == pytest.approx(
        fit.exponent_error_unscaled * math.sqrt(fit.reduced_chi2))
    # Points on the line: nothing to scale.
    exact = weighted_power_law([1.0, 2.0, 4.0], [1.0, 2.0, 4.0], [0.01, 0.02, 0.04])
    assert exact.reduced_chi2 == pytest.approx(0.0, abs=1e-20) and exact.exponent_error == exact.exponent_error_unscaled


def _sets(values):
    return [DataSet(i + 1, status="complete", N=n, r2=Estimate(m, e)) for i, (n, m, e) in enumerate(values)]


def test_a_fit_needs_three_chain_lengths_and_floors_zero_errors():
    assert fit_property(_sets([(10, 9.0, 0.1), (20, 19.0, 0.1), (20, 19.5, 0.1)]), "r2") is None
    zero = fit_property(_sets([(10, 9.0, 0.0), (20, 19.0, 0.0), (40, 39.0, 0.0)]), "r2")
    assert zero is not None and math.isfinite(zero.exponent_error) and zero.exponent_error > 0.0
    stopped = _sets([(10, 9.0, 0.1), (20, 19.0, 0.1), (40, 39.0, 0.1)])
    stopped[2].status = "stopped"
    assert fit_power_laws(stopped) == []


def test_ideal_spring_chains_give_an_exponent_of_about_one(made):
    run = read_output(made["series"].path)
    fits = {f.property: f for f in fit_power_laws(run.data_sets)}
    assert set(fits) == {"r2", "s2", "D", "eta"} and fits["r2"].n_points == len(SERIES_N)
    # The exact <r2>* = 3 (N - 1) / HOOK has a log-log slope a little above 1 at these N.
    ideal = weighted_power_law(SERIES_N, [3.0 * (n - 1) / SERIES_HOOK for n in SERIES_N],
                               [ds.r2.error for ds in run.data_sets])
    r2 = fits["r2"]
    assert abs(r2.exponent - 1.0) < 0.2
    assert abs(r2.exponent - ideal.exponent) < 3.0 * r2.exponent_error
    assert -0.7 < fits["D"].exponent < -0.4  # rigid-body D* of a coil falls off roughly as N^-1/2
