"""beadwalks.diagnose on the two example chains, refined inputs, and a diagnosis that stops."""

from __future__ import annotations

import pytest
from conftest import REPO

from beadwalks import DataSetInput, RunError, read_data_file
from beadwalks.diagnosis import DataSetDiagnosis, Diagnosis, PropertyDiagnosis, RefinementCapped, diagnose


@pytest.fixture(scope="module")
def examples(diagnose_exe):
    out = {}
    for code, name in ((2, "ideal_springs"), (3, "stiff_springs")):
        path = REPO / "examples" / f"{name}.dat"
        out[name] = (read_data_file(path, code), diagnose(code, path, executable=diagnose_exe))
    return out


def test_ideal_chain_is_reliable_and_needs_nothing_more(examples):
    inputs, d = examples["ideal_springs"]
    (ds,) = d.data_sets
    assert d.reliable and ds.reliable and ds.verdicts == {"r2": "reliable", "s2": "reliable"}
    # Relaxes in about 110 cycles: samples 500 cycles apart are about independent.
    assert ds.NFREQ == 500 and 0.8 < ds.r2.tau_samples < 1.3 and ds.r2.n_eff > 1000
    assert ds.r2.tau_cycles == pytest.approx(ds.r2.tau_samples * 500, rel=1e-5)
    assert ds.properties["s2"].advice == "none" and ds.report["r2"]["mean"] == round(ds.r2.mean, 3) == 8.891
    assert d.refined_inputs(inputs) == inputs


def test_stiff_chain_gets_the_cycles_of_its_slowest_property(examples):
    inputs, d = examples["stiff_springs"]
    (ds,) = d.data_sets
    assert not d.reliable and ds.r2.verdict.startswith("correlated samples: n_eff = ")
    advised = [p.advised_run() for p in ds.properties.values()]
    (refined,) = d.refined_inputs(inputs)
    assert refined.NCONFAVE == max(a[1] for a in advised) > inputs[0].NCONFAVE
    assert refined.NCONF == refined.NCONFAVE * 10 and refined.NFREQ == inputs[0].NFREQ == 10
    assert refined.with_items(NCONF=inputs[0].NCONF, NCONFAVE=inputs[0].NCONFAVE) == inputs[0]  # seed and model kept
    with pytest.warns(RefinementCapped, match="data set 1: needs .* cycles, given 1500000 \\(max_cycles\\)"):
        capped = d.refined_inputs(inputs, max_cycles=1_500_000)
    assert capped.capped == [1] and (capped[0].NCONF, capped[0].NCONFAVE) == (1_500_000, 150_000)


def _property(name, verdict, advice):
    return PropertyDiagnosis(name, 1.0, 0.1, 5.0, 50.0, 100.0, 0.2, 0, 0.0, verdict, advice)


def _data_set(index, *properties):
    return DataSetDiagnosis(index, 10, 1000, 100, 10, {}, {p.name: p for p in properties})


def test_refined_inputs_rules():
    base = DataSetInput(N=10, NCONF=1000, NCONFAVE=100, ISEED=None, EPS=0.0, SIG=1.0, RCUT=2.5, HOOK=3.0, AMPL=1.0)
    d = Diagnosis([
        _data_set(1, _property("r2", "reliable", "none"), _property("s2", "reliable", "none")),
        _data_set(2, _property("r2", "correlated samples: n_eff = 100",
                               "NCONF = 5000 with NCONFAVE = 500 (NFREQ = 10), or NCONF = 9000 with NCONFAVE = 9 "
                               "(NFREQ = 1000)"),
                  _property("s2", "correlated samples: n_eff = 50", "NCONF = 8000 with NCONFAVE = 800 (NFREQ = 10)")),
        _data_set(3, _property("r2", "error bar too small", "none; quote the autocorrelation error 0.1")),
        _data_set(4, _property("r2", "too few samples: n_eff = 999",
                               "NCONF = 99999999990 with NCONFAVE = 9999999999 (NFREQ = 10)")),
    ])
    inputs = [base, base, base, base, base.with_items(N=20)]
    with pytest.warns(RefinementCapped, match="data set 4: .*the most one data set holds"):
        refined = d.refined_inputs(inputs)
    assert refined[0] is base and refined[2] is base and refined[4] is inputs[4]  # reliable, nothing to do, not diagnosed
    assert (refined[1].NCONF, refined[1].NCONFAVE, refined[1].ISEED) == (8000, 800, None)  # the larger advice
    assert refined[3].NCONF == 2 ** 31 - 1 and refined[3].NFREQ == 10 and refined.capped == [4]
    with pytest.raises(ValueError, match="max_cycles = 0"):
        d.refined_inputs(inputs, max_cycles=0)


def test_a_diagnosis_that_stops(diagnose_exe, tmp_path):
    ok = DataSetInput(N=5, NCONF=500, NCONFAVE=50, ISEED=2, EPS=0.0, SIG=0.8, RCUT=2.5, HOOK=3.0, AMPL=1.0)
    data = tmp_path / "stops.dat"
    data.write_text("".join(f"{v}\n" for v in (5, 500, 50, 2, 0, 0, 0.0, 0.8, 2.5, 3.0, 1.0)) + "5\n100\n3\n")
    with pytest.raises(RunError) as e:
        diagnose(2, data, executable=diagnose_exe)
    assert e.value.status == 1 and "Minimum value of conformations" in e.value.message
    d = diagnose(2, data, executable=diagnose_exe, raise_on_stop=False)
    assert (d.status, len(d.data_sets), d.reliable) == (1, 1, False)
    assert d.data_sets[0].r2.mean == diagnose(2, [ok], executable=diagnose_exe).data_sets[0].r2.mean
    with pytest.raises(FileNotFoundError):
        diagnose(2, tmp_path / "none.dat", executable=diagnose_exe)
