"""python3 -m beadwalks.study end to end: a small grid, --refine, max_cycles, bad study files."""

from __future__ import annotations

import json
import subprocess
import sys

import pytest
from conftest import REPO

STUDY = """code = 2
output = "out/series.out"
{extra}
[defaults]
NCONF = {NCONF}
NCONFAVE = {NCONFAVE}
ISEED = 12345
IHYD = 1
NPR = 6
RMAX = 12.0
EPS = 0.0
SIG = 1.0
RCUT = 2.5
HOOK = 3.0
AMPL = 1.0
[grid]
N = [4, 6, 9]
{grid}
"""


def study(tmp_path, bin_dir, *args, extra="", grid="", NCONF=30000, NCONFAVE=3000, text=None):
    path = tmp_path / "study.toml"
    path.write_text(text if text is not None else STUDY.format(extra=extra, grid=grid, NCONF=NCONF,
                                                               NCONFAVE=NCONFAVE))
    (tmp_path / "out").mkdir(exist_ok=True)
    return subprocess.run([sys.executable, "-m", "beadwalks.study", str(path), *args], capture_output=True,
                          text=True, cwd=REPO / "python", timeout=600)


def test_a_small_grid_end_to_end(tmp_path, bin_dir):
    p = study(tmp_path, bin_dir, "--cpus", "1", grid='[[data_set]]\nN = 5\nHOOK = 2.0\nNPR = 0')
    assert p.returncode == 0, p.stderr
    folder = tmp_path / "out" / "series"
    assert sorted(f.name for f in folder.iterdir()) == [
        "series-limits.png", "series-pr-1.png", "series-pr-2.png", "series-pr-3.png", "series-scaling.png",
        "series.csv", "series.json", "summary.md"]
    doc = json.loads((folder / "series.json").read_text())
    assert [ds["N"] for ds in doc["data_sets"]] == [4, 6, 9, 5] and doc["data_sets"][3]["NPR"] == 0
    assert [ds["origin"] for ds in doc["study"]["data_sets"]] == ["grid N = 4", "grid N = 6", "grid N = 9",
                                                                  "data_set[1]"]
    assert {v["property"] for v in doc["limits"]} >= {"rho", "Phi", "P"}
    summary = (folder / "summary.md").read_text()
    rows = [line for line in summary.splitlines() if line.startswith("| ") and not line.startswith("| data set")]
    assert len(rows) == 4 and rows[3].startswith("| 4 | 5 | 0 |  | 2 |")  # N, then NPR, RMAX, HOOK: they vary
    assert "| data set | N | NPR | RMAX | HOOK | <r2>* |" in summary and "Long-chain limits" in summary
    assert all(row.split(" | ")[-1].rstrip(" |") for row in rows)  # a verdict in every row
    assert summary.rstrip("\n") in p.stdout and (tmp_path / "out" / "series.dat").exists()


def test_refine_takes_another_round_and_max_cycles_holds_it_back(tmp_path, bin_dir):
    # 100 samples 300 cycles apart: about independent, but far too few.
    p = study(tmp_path, bin_dir, "--refine", NCONF=30000, NCONFAVE=100)
    assert p.returncode == 0, p.stderr
    doc = json.loads((tmp_path / "out" / "series" / "series.json").read_text())
    rounds = [ds["rounds"] for ds in doc["study"]["data_sets"]]
    assert all(len(r) >= 2 for r in rounds) and all(r[1]["NCONFAVE"] > r[0]["NCONFAVE"] for r in rounds)
    assert [ds["NCONFAVE"] for ds in doc["data_sets"]] == [r[-1]["NCONFAVE"] for r in rounds]
    assert "round 2: diagnosing 3 data sets" in p.stderr
    summary = (tmp_path / "out" / "series" / "summary.md").read_text()
    assert "## Refinement" in summary and "Still failing:" in summary

    p = study(tmp_path, bin_dir, "--refine", NCONF=30000, NCONFAVE=100, extra="max_cycles = 40000")
    assert p.returncode == 0, p.stderr
    doc = json.loads((tmp_path / "out" / "series" / "series.json").read_text())
    assert all(ds["NCONF"] <= 40000 for ds in doc["data_sets"])
    assert all(ds["capped"] for ds in doc["study"]["data_sets"]) and "given 40000 (max_cycles)" in p.stderr, doc["study"]
    summary = (tmp_path / "out" / "series" / "summary.md").read_text()
    assert "held back by max_cycles" in summary and "Still failing: data set 1" in summary


@pytest.mark.parametrize("edit, key", [
    (("code = 2", "code = 2\ncolour = 1"), "colour: unknown key"),
    (("code = 2", 'code = "two"'), "code: 'two': must be 1, 2 or 3"),
    (("NCONF = 30000", "NCONF = 3.5e4"), "defaults.NCONF: 35000.0 is not an integer"),
    (("HOOK = 3.0", 'HOOK = "3"'), "defaults.HOOK: '3' is not a number"),
    (("EPS = 0.0", "EPS = 0.0\nDHS = 0.5"), "defaults.DHS: not an item of model code 2"),
    (("N = [4, 6, 9]", "N = 4"), "grid.N: must be a non-empty list"),
    (("N = [4, 6, 9]", "N = [4, 600]"), "grid.N: data set 2 (grid N = 600): N = 600: must be 2 to 100 beads"),
    (("NCONFAVE = 3000", "NCONFAVE = 4"), "defaults.NCONFAVE: data set 1"),
    (("AMPL = 1.0", ""), "defaults.AMPL: missing"),
    (("code = 2", "code = 2\nmax_cycles = 0"), "max_cycles: 0: must be a positive integer"),
    (("N = [4, 6, 9]", "N = [4, 6, 9]\n[[data_set]]\nN = 5\nNPR = 2000000"), "data_set[1].NPR: data set 4"),
    (("[grid]", "[grid"), "not TOML"),
])
def test_a_bad_study_file_gets_one_line_naming_the_key_before_anything_runs(tmp_path, bin_dir, edit, key):
    text = STUDY.format(extra="", grid="", NCONF=30000, NCONFAVE=3000).replace(*edit)
    p = study(tmp_path, bin_dir, text=text)
    assert p.returncode == 2 and p.stdout == ""
    assert p.stderr.count("\n") == 1 and key in p.stderr, p.stderr
    assert list((tmp_path / "out").iterdir()) == []  # nothing written, nothing run
