"""Long-chain limits: a known intercept recovered, too few chain lengths, a real series,
and the results command's block, JSON and picture; a closed pipe."""

from __future__ import annotations

import json
import math
import os
import subprocess
import sys

import numpy as np
import pytest
from conftest import REPO

from beadwalks import read_output
from beadwalks.diagnosis import DataSetDiagnosis, PropertyDiagnosis
from beadwalks.limits import LIMIT_PROPERTIES, long_chain_limits, weighted_line
from beadwalks.model import DataSet, Estimate
from beadwalks.ratios import rho_ratio

N = np.array([10, 20, 40, 60, 100])


def test_a_known_intercept_is_recovered_within_its_error():
    x = N ** -0.5
    exact = 1.50 - 0.8 * x
    sigma = np.full(len(N), 0.01)
    line = weighted_line(x, exact, sigma)
    assert line.limit == pytest.approx(1.5, abs=1e-12) and line.slope == pytest.approx(-0.8, abs=1e-12)
    assert line.reduced_chi2 == pytest.approx(0.0, abs=1e-20) and line.limit_error == line.limit_error_unscaled
    rng = np.random.default_rng(7)
    pulls, chi2 = [], []
    for _ in range(400):
        fit = weighted_line(x, exact + sigma * rng.standard_normal(len(N)), sigma)
        pulls.append((fit.limit - 1.5) / fit.limit_error_unscaled)
        chi2.append(fit.reduced_chi2)
    # The stated error is the scatter of the intercept; chi2/dof averages 1.
    assert np.std(pulls) == pytest.approx(1.0, abs=0.1) and abs(np.mean(pulls)) < 0.15
    assert np.mean(chi2) == pytest.approx(1.0, abs=0.15)
    # Points that scatter ten times their errors: the error grows with sqrt(chi2/dof).
    wide = weighted_line(x, exact + 0.1 * rng.standard_normal(len(N)), sigma)
    assert wide.reduced_chi2 > 10 and wide.limit_error == pytest.approx(
        wide.limit_error_unscaled * math.sqrt(wide.reduced_chi2))


def _series(rows):
    return [DataSet(i + 1, status="complete", N=n, r2=Estimate(r2, 0.1), s2=Estimate(s2, 0.02), D=Estimate(d, 0.001),
                    eta=Estimate(eta, 0.5)) for i, (n, r2, s2, d, eta) in enumerate(rows)]


def _diagnosis(ds: DataSet, error_autocorr: float, NCONF: int = 1000) -> DataSetDiagnosis:
    p = PropertyDiagnosis("r2", ds.r2.mean, ds.r2.error, 50.0, 500.0, 40.0, error_autocorr, 0, 0.0,
                          "error bar too small", "none")
    return DataSetDiagnosis(ds.index, ds.N, NCONF, 100, 10, {}, {"r2": p})


def test_a_diagnosis_weights_each_point_by_its_honest_error():
    # <r2>*/(N-1) = 1 exactly; the data set of N = 40 is 10 % off, with a
    # printed error twenty times too small (five correlated subsamples).
    data_sets = _series([(n, float(n - 1), 1.0, 0.2, 5.0) for n in (10, 20, 40, 60)])
    for ds in data_sets:
        ds.NCONF, ds.NCONFAVE = 1000, 100
    data_sets[2].r2 = Estimate(1.1 * 39.0, 0.2)
    pulled = long_chain_limits(data_sets)["r2_per_bond"]
    assert pulled.reduced_chi2 > 100  # the line bent through the bad point
    diagnoses = [None, None, _diagnosis(data_sets[2], 4.0), None]
    honest = long_chain_limits(data_sets, diagnoses)["r2_per_bond"]
    assert honest.reduced_chi2 < 1.0 and abs(honest.slope) < 0.2 * abs(pulled.slope)
    assert abs(honest.limit - 1.0) < min(abs(pulled.limit - 1.0), honest.limit_error)
    assert data_sets[2].r2.error == 0.2  # the data sets are left as printed
    # A diagnosis of another run of the data set (other NCONF) is not used.
    other = long_chain_limits(data_sets, [None, None, _diagnosis(data_sets[2], 4.0, NCONF=5000), None])
    assert other["r2_per_bond"] == pulled
    # The autocorrelation error only ever widens a printed error.
    assert long_chain_limits(data_sets, [None, None, _diagnosis(data_sets[2], 0.01), None])["r2_per_bond"] == pulled


def test_limits_of_ratios_need_three_chain_lengths_and_their_own_values():
    rows = [(10, 9.0, 1.5, 0.2, 5.0), (20, 19.0, 3.2, 0.14, 10.0), (20, 19.4, 3.3, 0.14, 10.1)]
    assert all(v is None for v in long_chain_limits(_series(rows)).values())
    rows.append((40, 39.0, 6.5, 0.1, 20.0))
    limits = long_chain_limits(_series(rows))
    assert set(limits) == set(LIMIT_PROPERTIES) and all(v is not None and v.n_points == 4 for v in limits.values())
    without_hydro = _series(rows)
    for ds in without_hydro:
        ds.D = ds.eta = None
    limits = long_chain_limits(without_hydro)
    assert limits["rho"] is None and limits["Phi"] is None and limits["r2_per_bond"] is not None
    # Exact per-bond values: the line is flat at the value, chi2 zero.
    flat = long_chain_limits(_series([(n, 2.0 * (n - 1), 0.3 * (n - 1), 0.1, 1.0) for n in (5, 10, 20)]))
    assert flat["r2_per_bond"].limit == pytest.approx(2.0) and flat["r2_per_bond"].slope == pytest.approx(0.0, abs=1e-9)
    assert flat["s2_per_bond"].limit == pytest.approx(0.3)


def test_real_series_extrapolates_every_ratio(made):
    run = read_output(made["series"].path)
    limits = long_chain_limits(run)
    assert all(limits[name].n_points == 4 for name in LIMIT_PROPERTIES)
    rho = limits["rho"]
    points = [rho_ratio(ds.s2, ds.D).mean for ds in run.data_sets]
    # A line through four points: the limit lies beyond the longest chain's value, on the side the trend goes.
    assert (rho.limit - points[-1]) * (points[-1] - points[0]) > 0 or abs(rho.limit - points[-1]) < 3 * rho.limit_error
    # Ideal springs: <r2>* = N - 1 exactly, so the per-bond limit is 1 within a few errors.
    r2 = limits["r2_per_bond"]
    assert abs(r2.limit - 1.0) < 4.0 * r2.limit_error + 0.05


def test_results_command_shows_writes_and_draws_the_limits(made, tmp_path):
    out = tmp_path / "series.json"
    p = subprocess.run([sys.executable, "-m", "beadwalks.results", str(made["series"].path), "--json", str(out)],
                       capture_output=True, text=True, cwd=REPO / "python")
    assert p.returncode == 0, p.stderr
    assert "Long-chain limits" in p.stdout
    limits = json.loads(out.read_text())["limits"]
    assert [v["property"] for v in limits] == list(LIMIT_PROPERTIES)
    assert list(limits[0])[:6] == ["property", "limit", "limit_error", "slope", "reduced_chi2", "n_points"]


@pytest.mark.parametrize("args", [[], ["--json", "{tmp}/x.json"]])
def test_a_closed_pipe_ends_the_command_quietly(made, tmp_path, args):
    # A pipe whose reader has gone, as after "| head": every write fails.
    read_end, write_end = os.pipe()
    os.close(read_end)
    command = [sys.executable, "-m", "beadwalks.results", str(made["series"].path)] + \
        [a.format(tmp=tmp_path) for a in args]
    p = subprocess.run(command, stdout=write_end, stderr=subprocess.PIPE, text=True, cwd=REPO / "python")
    os.close(write_end)
    assert p.returncode == 0 and p.stderr == ""
    if args:  # the rest of the work is done
        assert json.loads((tmp_path / "x.json").read_text())["limits"]
