"""The command line: summary, JSON layout, CSV rows, PNG pictures, bad input, pip install."""

from __future__ import annotations

import csv
import json
import math
import pathlib
import subprocess

import numpy as np
import pytest
from conftest import REPO

from beadwalks import read_output
from beadwalks.plots import DPI, PR_SIZE, SCALING_SIZE, gaussian_fraction

PYTHON = "/usr/bin/python3"
ENV = {"PYTHONPATH": str(REPO / "python"), "PATH": "/usr/bin:/bin", "MPLBACKEND": "Agg"}


def results(*args, python=PYTHON, cwd=None):
    return subprocess.run([python, "-m", "beadwalks.results", *map(str, args)], capture_output=True, text=True,
                          env=ENV, cwd=cwd, timeout=300)


DATA_SET_KEYS = ["index", "status", "message", "N", "NCONF", "NCONFAVE", "NFREQ", "ISEED", "IHYD", "NPR",
                 "RMAX", "parameters", "rejected", "rejected_percent", "r2", "s2", "D", "eta", "pr", "derived"]


def test_json_has_the_layout_and_the_values_read(made, tmp_path):
    out = tmp_path / "rl.json"
    p = results(made["rl"].path, "--json", out)
    assert p.returncode == 0, p.stderr
    doc = json.loads(out.read_text())
    assert list(doc) == ["model_code", "input_file", "output_file", "data_sets", "fits", "limits"]
    assert (doc["model_code"], doc["input_file"], doc["output_file"], doc["fits"], doc["limits"]) == (
        1, "rl.dat", "rl run.out", [], [])
    run = read_output(made["rl"].path)
    for d, ds in zip(doc["data_sets"], run.data_sets):
        assert list(d) == DATA_SET_KEYS
        assert list(d["derived"]) == ["Rg", "Rh", "rho", "Phi", "P"]
        assert d["parameters"] == ds.parameters and d["N"] == ds.N and d["rejected"] == ds.rejected
        assert d["r2"] == {"mean": ds.r2.mean, "error": ds.r2.error}
        assert d["derived"]["Rg"]["mean"] == pytest.approx(math.sqrt(ds.s2.mean))
    hydro, plain = doc["data_sets"]
    assert hydro["derived"]["rho"]["mean"] == pytest.approx(math.sqrt(hydro["s2"]["mean"]) * hydro["D"]["mean"])
    assert hydro["derived"]["P"]["mean"] == pytest.approx(
        6 * math.pi / (hydro["D"]["mean"] * math.sqrt(6 * hydro["s2"]["mean"])))
    assert [list(row) for row in hydro["pr"][:1]] == [["r", "P"]] and len(hydro["pr"]) == 10
    assert plain["D"] is None and plain["eta"] is None and plain["pr"] == []
    assert all(plain["derived"][k] is None for k in ("Rh", "rho", "Phi", "P"))


def test_json_fits_and_stopped_data_sets(made, tmp_path):
    out = tmp_path / "series.json"
    assert results(made["series"].path, "--json", out).returncode == 0
    fits = json.loads(out.read_text())["fits"]
    assert [f["property"] for f in fits] == ["r2", "s2", "D", "eta"]
    assert list(fits[0]) == ["property", "exponent", "exponent_error", "prefactor", "n_points", "reduced_chi2",
                             "exponent_error_unscaled"]
    assert results(made["stopped"].path, "--json", out).returncode == 0
    stopped = json.loads(out.read_text())["data_sets"][-1]
    assert (stopped["status"], stopped["N"], stopped["derived"], stopped["r2"]) == ("stopped", 150, None, None)
    assert stopped["message"].startswith("N=")


def test_non_finite_averages_read_as_printed_and_are_null_in_json(made, tmp_path):
    # A chain that runs away prints its averages as Inf (no case here does, so edit a copy).
    text = made["ss"].path.read_text()
    line = next(x for x in text.splitlines() if "<s2>*=" in x)
    runaway = tmp_path / "runaway.out"
    runaway.write_text(text.replace(line, line[:47] + "    Inf +-    NaN"))
    ds = read_output(runaway).data_sets[0]
    assert ds.s2.mean == math.inf and math.isnan(ds.s2.error)
    out = tmp_path / "runaway.json"
    assert results(runaway, "--json", out).returncode == 0
    d = json.loads(out.read_text())["data_sets"][0]
    assert d["s2"] == {"mean": None, "error": None} and d["derived"]["Rg"] is None


def test_csv_has_one_row_of_scalars_per_data_set(made, tmp_path):
    out = tmp_path / "gs.csv"
    p = results(made["gs"].path, "--csv", out)
    assert p.returncode == 0 and "EPS of data set 1" in p.stderr  # the asterisks, as a one-line warning
    rows = list(csv.DictReader(out.open()))
    assert len(rows) == 2
    assert rows[0]["EPS"] == "" and rows[1]["EPS"] == "0.2" and rows[0]["HOOK"] == "3.0"
    assert rows[0]["D_mean"] != "" and rows[1]["D_mean"] == "" and rows[1]["NPR"] == "8"
    assert float(rows[1]["Rg_mean"]) == pytest.approx(math.sqrt(float(rows[1]["s2_mean"])))


def test_summary_has_one_line_per_data_set_then_the_fits(made):
    p = results(made["series"].path)
    lines = p.stdout.splitlines()
    assert "run complete; 4 data sets" in lines[0]
    assert [line.split()[:2] for line in lines[1:5]] == [[str(i), "complete"] for i in range(1, 5)]
    assert lines[5].startswith("Power laws") and "x =" in lines[6] and "chi2/dof = " in lines[6]
    assert lines[10].startswith("Long-chain limits") and len(lines) == 16
    assert [line.split()[0] for line in lines[11:]] == ["rho", "Phi", "P", "<r2>*/(N-1)", "<s2>*/(N-1)"]


def _picture(path: pathlib.Path, size) -> np.ndarray:
    import matplotlib.image

    image = matplotlib.image.imread(path)
    assert image.shape[:2] == (round(size[1] * DPI), round(size[0] * DPI)), path
    assert image[..., :3].std() > 0.05, f"{path} is blank"
    return image


def _has_colour(image, rgb, tol=0.08) -> bool:
    return bool((np.abs(image[..., :3] - np.array(rgb)).max(axis=-1) < tol).sum() > 200)


TAB_RED, TAB_BLUE_ON_WHITE = (0.839, 0.153, 0.157), (0.45, 0.67, 0.83)


def test_pictures_open_with_the_expected_size_and_are_not_blank(made, tmp_path):
    for name, expected in (("rl", ["rl run-pr-1.png"]), ("gs", ["gs-pr-2.png"]), ("ss", ["ss-pr-1.png"]),
                           ("series", ["series-limits.png", "series-scaling.png"]), ("stopped", ["stopped-pr-1.png"])):
        folder = tmp_path / name
        p = results(made[name].path, "--plot", folder)
        assert p.returncode == 0, p.stderr
        assert sorted(f.name for f in folder.iterdir()) == expected
        for f in expected:
            image = _picture(folder / f, SCALING_SIZE if "-pr-" not in f else PR_SIZE)
            assert _has_colour(image, TAB_RED), f"{f}: no red reference or fitted line"
            if "-pr-" in f:
                assert _has_colour(image, TAB_BLUE_ON_WHITE), f"{f}: no bars"


def test_the_example_picture_is_that_of_the_first_data_set_with_p_of_r(made, tmp_path):
    from beadwalks.results import write_first_pr_picture

    with pytest.warns(UserWarning):
        gs = read_output(made["gs"].path)
    assert write_first_pr_picture(gs, str(tmp_path / "gs.png")).index == 2
    _picture(tmp_path / "gs.png", PR_SIZE)
    assert write_first_pr_picture(read_output(made["series"].path), str(tmp_path / "none.png")) is None
    assert not (tmp_path / "none.png").exists()


def test_gaussian_reference_is_the_fraction_per_interval():
    # <r2>* = 3/2 and r = 1: 4 pi (1/pi)^(3/2) e^-1 w = 4 / (sqrt(pi) e) w = 0.830215 w.
    assert gaussian_fraction(1.0, 1.5, 0.1) == pytest.approx(0.0830215, rel=1e-5)
    w = 0.01
    centres = (np.arange(4000) + 0.5) * w
    assert gaussian_fraction(centres, 20.0, w).sum() == pytest.approx(1.0, abs=1e-6)


@pytest.mark.parametrize("content", [b"", b"\0\1\2binary\xff", b"just some text\n"])
def test_bad_files_get_one_line_and_status_2(tmp_path, content):
    path = tmp_path / "bad.out"
    path.write_bytes(content)
    p = results(path)
    assert p.returncode == 2 and p.stdout == ""
    assert len(p.stderr.splitlines()) == 1 and "Traceback" not in p.stderr
    assert "not an output file of BEADWALKS" in p.stderr


@pytest.mark.parametrize("args", [["/nonexistent.out"], ["."], [], ["x.out", "--bogus"]])
def test_unreadable_paths_and_bad_arguments_get_one_line_and_status_2(args, tmp_path):
    p = results(*args, cwd=tmp_path)
    assert p.returncode == 2 and len(p.stderr.splitlines()) == 1 and "Traceback" not in p.stderr


def test_an_unwritable_json_file_gets_one_line_and_status_2(made, tmp_path):
    p = results(made["rl"].path, "--json", tmp_path / "no" / "such" / "folder.json")
    assert p.returncode == 2 and len(p.stderr.splitlines()) == 1 and "Traceback" not in p.stderr


def test_to_dataframe_has_one_row_per_data_set(made):
    pytest.importorskip("pandas")
    frame = read_output(made["rl"].path).to_dataframe()
    assert list(frame["N"]) == [12, 8] and "Phi_mean" in frame.columns


def test_pip_install_in_a_virtual_environment_works_offline(made, tmp_path):
    venv = tmp_path / "venv"
    subprocess.run([PYTHON, "-m", "venv", "--system-site-packages", venv], check=True, timeout=300)
    pip = subprocess.run([venv / "bin" / "pip", "install", "--no-index", "--no-cache-dir", "-q", REPO / "python"],
                         capture_output=True, text=True, timeout=300)
    assert pip.returncode == 0, pip.stderr
    p = subprocess.run([venv / "bin" / "python", "-m", "beadwalks.results", made["ss"].path], capture_output=True,
                       text=True, cwd=tmp_path, timeout=300, env={"PATH": "/usr/bin:/bin"})
    assert p.returncode == 0 and "run complete" in p.stdout, p.stderr
    assert not (REPO / "python" / "build").exists()  # the install leaves the source folder as it was
