"""Output files made by the real executable, once per test session.

The executable is given by --beadwalks PATH (CTest passes the one it built),
or by the environment variable BEADWALKS_EXE, else build/beadwalks.
"""

from __future__ import annotations

import os
import pathlib
import subprocess
import sys
from dataclasses import dataclass
from typing import Optional, Sequence

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "python"))


def pytest_addoption(parser):
    parser.addoption("--beadwalks", default=os.environ.get("BEADWALKS_EXE", str(REPO / "build" / "beadwalks")),
                     help="the beadwalks executable that makes the output files")
    parser.addoption("--beadwalks-diagnose", default=None,
                     help="beadwalks-diagnose (default: beside the beadwalks executable)")
    parser.addoption("--beadwalks-mpi", default=None,
                     help="beadwalks-mpi (default: beside the beadwalks executable; tests skipped without it)")


def data_set(N, NCONF, NCONFAVE, ISEED, IHYD, NPR, RMAX=None, params: Sequence[float] = ()) -> str:
    """The records of one data set; ``params`` in reading order of the model code."""
    items = [N, NCONF, NCONFAVE, ISEED, IHYD, NPR] + ([RMAX] if NPR > 0 else []) + list(params)
    return "".join(f"{v}\n" for v in items)


def rl(DHS, DELTAPHI):
    return (DHS, DELTAPHI)


def gs(EPS, SIG, RCUT, HOOK, AMPL):
    return (EPS, SIG, RCUT, HOOK, AMPL)


def ss(A, ALPHA, RCUT, HOOK, AMPL):
    return (A, ALPHA, RCUT, HOOK, AMPL)


#: Ideal spring chains: no Lennard-Jones energy (EPS = 0), HOOK = 3, so that
#: <r2>* = 3 (N - 1) / HOOK = N - 1; long runs (200 N^2 cycles) for N^2 relaxation.
SERIES_N = (6, 12, 24, 48)
SERIES_HOOK = 3.0

# name -> (model code, data file text, output file name)
RUNS = {
    # P(r) and hydrodynamics, then neither; an output name with a blank.
    "rl": (1, data_set(12, 2000, 100, 7, 1, 10, 12.0, rl(0.5, 1.5))
           + data_set(8, 1000, 50, 9, 0, 0, params=rl(0.0, 2.0)) + "-1\n", "rl run.out"),
    # EPS = 10 overflows its F4.2 field; hydrodynamics without P(r), then P(r) without.
    "gs": (2, data_set(10, 1000, 50, 3, 1, 0, params=gs(10.0, 0.8, 2.5, 3.0, 0.7))
           + data_set(10, 1000, 50, 5, 0, 8, 10.0, gs(0.2, 0.8, 2.5, 3.0, 0.7)) + "-1\n", "gs.out"),
    "ss": (3, data_set(15, 1500, 100, 11, 1, 6, 15.0, ss(1.0, 2.0, 2.0, 30.0, 0.35)) + "-1\n", "ss.out"),
    "series": (2, "".join(data_set(n, 200 * n * n, 200, n + 1, 1, 0, params=gs(0.0, 0.8, 2.5, SERIES_HOOK, 2.0))
                          for n in SERIES_N) + "-1\n", "series.out"),
    # A complete data set, then one refused for its bead count.
    "stopped": (1, data_set(6, 500, 25, 1, 0, 4, 6.0, rl(0.0, 1.0)) + "150\n", "stopped.out"),
    "stop_nconfave": (1, "5\n100\n3\n", "stop_nconfave.out"),
    "stop_npr": (1, "5\n100\n5\n1\n0\n2000000\n", "stop_npr.out"),
    "stop_simulation": (2, data_set(5, 100, 5, 1, 0, 0, params=gs(1.0, 1e10, 2.0, 1.0, 0.5)) + "-1\n",
                        "stop_simulation.out"),
    "stop_code": (4, "-1\n", "stop_code.out"),
    # A fatal input failure in the middle of the echo: a text where IHYD belongs.
    "fatal": (1, "5\n100\n5\n1\nyes\n", "fatal.out"),
}


@dataclass
class Made:
    path: pathlib.Path
    status: int
    stderr: str
    data: pathlib.Path


@pytest.fixture(scope="session")
def beadwalks_exe(request) -> pathlib.Path:
    path = pathlib.Path(request.config.getoption("--beadwalks"))
    if not os.access(path, os.X_OK):
        pytest.fail(f"no beadwalks executable at {path}: build it, or give --beadwalks PATH")
    return path


def _beside(request, option: str, name: str) -> pathlib.Path:
    given = request.config.getoption(option)
    return pathlib.Path(given) if given else pathlib.Path(request.config.getoption("--beadwalks")).parent / name


@pytest.fixture(scope="session")
def diagnose_exe(request) -> pathlib.Path:
    path = _beside(request, "--beadwalks-diagnose", "beadwalks-diagnose")
    if not os.access(path, os.X_OK):
        pytest.fail(f"no beadwalks-diagnose at {path}: build it, or give --beadwalks-diagnose PATH")
    return path


@pytest.fixture(scope="session")
def mpi_exe(request) -> pathlib.Path:
    """beadwalks-mpi, or the test is skipped: it is built only where MPI is installed."""
    path = _beside(request, "--beadwalks-mpi", "beadwalks-mpi")
    return path if os.access(path, os.X_OK) else pytest.skip(f"no beadwalks-mpi at {path}")


@pytest.fixture()
def bin_dir(beadwalks_exe, monkeypatch) -> pathlib.Path:
    """BEADWALKS_BIN set to the folder of the executables under test."""
    monkeypatch.setenv("BEADWALKS_BIN", str(beadwalks_exe.parent))
    return beadwalks_exe.parent


@pytest.fixture(scope="session")
def made(beadwalks_exe, tmp_path_factory) -> dict[str, Made]:
    """Every run of RUNS, made once: name -> output file, exit status, stderr."""
    folder = tmp_path_factory.mktemp("runs")
    out: dict[str, Made] = {}
    for name, (code, text, out_name) in RUNS.items():
        data = folder / f"{name}.dat"
        data.write_text(text)
        dialogue = f"{code}\n{data.name}\n'{out_name}'\n\n"
        p = subprocess.run([str(beadwalks_exe)], input=dialogue, cwd=folder, capture_output=True, text=True,
                           timeout=600)
        out[name] = Made(folder / out_name, p.returncode, p.stderr, data)
    return out


def output_lines(path: pathlib.Path) -> list[str]:
    return path.read_text().split("\n")[:-1]


def blocks(lines: list[str]) -> list[list[str]]:
    """The records of each data set, between its separator and the next."""
    sep = " " * 5 + "=" * 70
    starts = [i for i, line in enumerate(lines) if line == sep][2:]  # the first two frame the banner
    return [lines[a + 1:b] for a, b in zip(starts, starts[1:] + [len(lines)])]


def fortran_f(value: Optional[float], w: int, d: int) -> str:
    """Fw.d, written independently of the reader: asterisks for a missing value."""
    if value is None:
        return "*" * w
    s = f"{value:.{d}f}"
    if len(s) > w and s.lstrip("-").startswith("0."):
        s = s.replace("0.", ".", 1)
    return s.rjust(w) if len(s) <= w else "*" * w


def fortran_i(value: Optional[int], w: int) -> str:
    s = "*" * w if value is None else str(value)
    return s.rjust(w) if len(s) <= w else "*" * w
