"""read_output on runs of beadwalks-run: the moves of each data set, and the
pivot records refused out of their place."""

from __future__ import annotations

import os
import pathlib
import subprocess

import pytest
from conftest import data_set, gs, output_lines, rl

from beadwalks import OutputFormatError, read_output

PIVOT_ECHO = " Pivot moves after the local moves of each cycle, attempts per cycle="
PIVOT_REPORT = " Pivot attempts per cycle="
PERCENT = " Percent of rejected conformations="
AMPLITUDE = " Amplitude of Monte-Carlo coordinate displacement="


@pytest.fixture(scope="module")
def runs(beadwalks_exe: pathlib.Path, tmp_path_factory) -> dict[str, pathlib.Path]:
    """A pivot run of code 2 and a local run of code 1, by beadwalks-run beside beadwalks."""
    exe = beadwalks_exe.resolve().with_name("beadwalks-run")
    if not os.access(exe, os.X_OK):
        pytest.fail(f"no beadwalks-run executable at {exe}")
    folder = tmp_path_factory.mktemp("pivot_runs")
    made = {}
    for name, code, text, moves in (
            ("pivot", 2, data_set(12, 2000, 100, 3, 1, 4, 8.0, gs(1.0, 1.0, 2.5, 3.0, 1.0))
             + data_set(8, 1000, 50, 4, 0, 0, params=gs(0.0, 0.8, 2.5, 3.0, 1.0)) + "-1\n",
             ["--moves", "pivot", "--pivots", "3"]),
            ("local", 1, data_set(10, 1000, 50, 5, 0, 0, params=rl(0.8, 2.0)) + "-1\n", [])):
        (folder / f"{name}.dat").write_text(text)
        p = subprocess.run([str(exe), str(code), f"{name}.dat", f"{name}.out", *moves], cwd=folder,
                           capture_output=True, text=True, timeout=600)
        assert p.returncode == 0, p.stderr
        made[name] = folder / f"{name}.out"
    return made


def test_pivot_records_are_read_into_each_data_set(runs):
    run = read_output(runs["pivot"])
    assert run.status == "complete" and len(run.data_sets) == 2
    lines = output_lines(runs["pivot"])
    reported = [line for line in lines if line.startswith(PIVOT_REPORT)]
    assert len(reported) == 2
    for ds, line in zip(run.data_sets, reported):
        assert ds.complete
        assert ds.moves == "pivot"
        assert ds.pivots_per_cycle == 3
        assert ds.pivot_rejected_percent == float(line[-6:])
        assert 0.0 <= ds.pivot_rejected_percent <= 100.0
    # The Lennard-Jones chain refuses some pivots; the ideal chain about none.
    assert run.data_sets[0].pivot_rejected_percent > 0.0
    assert run.data_sets[0].D is not None and len(run.data_sets[0].pr) == 4
    assert run.data_sets[1]["EPS"] == 0.0


def test_a_local_run_reads_as_local_moves(runs):
    ds, = read_output(runs["local"]).data_sets
    assert ds.complete
    assert (ds.moves, ds.pivots_per_cycle, ds.pivot_rejected_percent) == ("local", None, None)


def _write(tmp_path: pathlib.Path, lines: list[str]) -> pathlib.Path:
    path = tmp_path / "edited.out"
    path.write_text("".join(line + "\n" for line in lines))
    return path


def _index(lines: list[str], prefix: str, nth: int = 0) -> int:
    return [i for i, line in enumerate(lines) if line.startswith(prefix)][nth]


def test_pivot_records_out_of_place_are_refused(runs, tmp_path):
    pivot, local = output_lines(runs["pivot"]), output_lines(runs["local"])
    cases = {}
    # A report of pivots in a data set whose echo has none.
    bad = list(local)
    bad.insert(_index(bad, PERCENT) + 1, PIVOT_REPORT + "         3  Percent of rejected pivots= 10.00")
    cases["report without echo"] = bad
    # An echo of pivots whose report has none.
    bad = list(pivot)
    del bad[_index(bad, PIVOT_REPORT)]
    cases["echo without report"] = bad
    # The report of another number of pivots than the echo.
    bad = list(pivot)
    i = _index(bad, PIVOT_REPORT, 1)
    bad[i] = bad[i].replace("=         3 ", "=         4 ")
    cases["other count"] = bad
    # The echo record before the model-specific data.
    bad = list(pivot)
    i = _index(bad, PIVOT_ECHO)
    echo = bad.pop(i)
    bad.insert(_index(bad, " Model-specific data"), echo)
    cases["echo out of place"] = bad
    # The report record after the averages.
    bad = list(pivot)
    i = _index(bad, PIVOT_REPORT)
    report = bad.pop(i)
    bad.insert(i + 2, report)
    cases["report out of place"] = bad
    for why, lines in cases.items():
        with pytest.raises(OutputFormatError, match="unexpected record"):
            read_output(_write(tmp_path, lines))
        print(why, "refused")
    # Untouched, the same file reads.
    assert read_output(_write(tmp_path, pivot)).status == "complete"
