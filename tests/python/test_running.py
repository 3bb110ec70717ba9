"""beadwalks.run against the real executables: CPUs, ranks, progress, stops, the executable lookup."""

from __future__ import annotations

import os
import pathlib

import pytest

from beadwalks import DataSetInput, RunError, run, write_data_file
from beadwalks.running import ProgressParser

SMALL = [DataSetInput(N=n, NCONF=600, NCONFAVE=60, ISEED=n, IHYD=1, NPR=4, RMAX=8.0, EPS=0.0, SIG=0.8, RCUT=2.5,
                      HOOK=3.0, AMPL=1.0) for n in (5, 8, 6)]


def report_records(path: pathlib.Path) -> list[str]:
    """The records after the file names: the same whatever runs them."""
    lines = path.read_text().splitlines()
    return lines[next(i for i, x in enumerate(lines) if x.startswith(" Input data file:")) + 1:]


def test_one_cpu_all_cpus_and_two_ranks_give_the_same_output(bin_dir, mpi_exe, tmp_path):
    events: list[tuple[int, float]] = []
    one = run(2, SMALL, tmp_path / "one.out", cpus=1, progress=lambda i, f: events.append((i, f)))
    assert (tmp_path / "one.dat").exists() and one.status == "complete" and len(one.data_sets) == 3
    every = run(2, tmp_path / "one.dat", tmp_path / "all.out")
    ranks = run(2, tmp_path / "one.dat", tmp_path / "ranks.out", ranks=2, executable=mpi_exe)
    assert report_records(tmp_path / "one.out") == report_records(tmp_path / "all.out") \
        == report_records(tmp_path / "ranks.out")
    assert [ds.r2 for ds in every.data_sets] == [ds.r2 for ds in ranks.data_sets] == [ds.r2 for ds in one.data_sets]
    # Progress: data set by data set, each rising to 1 (3 per subsample of 12, 60 in all).
    assert [i for i, _ in events] == sorted(i for i, _ in events) and {i for i, _ in events} == {1, 2, 3}
    for k in (1, 2, 3):
        fractions = [f for i, f in events if i == k]
        assert fractions == sorted(set(fractions)) and fractions[0] == 0.0 and fractions[-1] == 1.0
        assert len(fractions) == 21  # 0, then every 3 of 60 conformations


def test_progress_bar_without_tqdm_is_one_updating_line(bin_dir, tmp_path, capsys, monkeypatch):
    import builtins

    real_import = builtins.__import__

    def no_tqdm(name, *args, **kwargs):
        if name == "tqdm":
            raise ImportError(name)
        return real_import(name, *args, **kwargs)

    monkeypatch.setattr(builtins, "__import__", no_tqdm)
    run(2, SMALL[:1], tmp_path / "bar.out", progress=True)
    err = capsys.readouterr().err
    assert err.count("\n") == 1 and err.startswith("\rbeadwalks: data set 1:") and err.endswith("100.0 %\n")


def test_a_run_that_stops_raises_run_error_with_status_message_and_run(bin_dir, tmp_path):
    refused = tmp_path / "refused.dat"
    refused.write_text("".join(f"{v}\n" for v in (5, 100, 5, 1, 0, 0, 0.0, 0.8, 2.5, 3.0, 1.0)) + "150\n")
    with pytest.raises(RunError) as e:
        run(2, refused, tmp_path / "refused.out")
    assert e.value.status == 1 and "Maximum number of beads is 100" in e.value.message in str(e.value)
    assert [ds.status for ds in e.value.run.data_sets] == ["complete", "stopped"]

    unreadable = tmp_path / "unreadable.dat"
    unreadable.write_text("5\n100\n5\n1\nyes\n")
    with pytest.raises(RunError) as e:
        run(2, unreadable, tmp_path / "unreadable.out")
    assert e.value.status == 2 and e.value.message.startswith("input conversion error, unit 4, file ")
    assert e.value.run.data_sets[0].status == "incomplete"

    write_data_file(tmp_path / "ok.dat", 2, SMALL)
    with pytest.raises(RunError) as e:  # the output's folder is missing: no output file to read
        run(2, tmp_path / "ok.dat", tmp_path / "missing" / "x.out")
    assert e.value.status == 2 and e.value.message.startswith("cannot open file, unit 8") and e.value.run is None
    with pytest.raises(FileNotFoundError, match="no data file"):
        run(2, tmp_path / "none.dat", tmp_path / "x.out")


def test_an_interrupted_run_ends_its_program_and_raises_what_stopped_it(bin_dir, tmp_path):
    slow = [SMALL[0].with_items(NCONF=50_000_000, NCONFAVE=100, IHYD=0, NPR=0, RMAX=None)]

    def stop(index, fraction):
        if fraction >= 0.05:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt):
        run(2, slow, tmp_path / "slow.out", progress=stop)
    # The program stopped on SIGTERM: no process is left, a checkpoint to resume from is.
    assert (tmp_path / "slow.out.ckpt").exists()


def test_a_killed_program_is_a_run_error_naming_the_signal(tmp_path):
    killed = tmp_path / "killed"
    killed.write_text("#!/bin/sh\nkill -KILL $$\n")
    killed.chmod(0o755)
    with pytest.raises(RunError) as e:
        run(2, SMALL, tmp_path / "killed.out", executable=killed)
    assert (e.value.status, e.value.message, e.value.run) == (-9, "killed by SIGKILL", None)


def test_progress_bar_with_tqdm_is_one_bar_per_data_set(bin_dir, tmp_path, monkeypatch):
    import sys
    import types

    bars = []

    class FakeBar:
        def __init__(self, total, desc, **kwargs):
            self.total, self.desc, self.n, self.shown, self.closed = total, desc, 0, [], False
            bars.append(self)

        def refresh(self):
            self.shown.append(self.n)

        def close(self):
            self.closed = True

    monkeypatch.setitem(sys.modules, "tqdm", types.SimpleNamespace(tqdm=FakeBar))
    run(2, SMALL[:2], tmp_path / "tqdm.out", progress=True)
    assert [b.desc for b in bars] == ["data set 1", "data set 2"] and all(b.closed for b in bars)
    assert all(b.shown[-1] == 100 and b.shown == sorted(b.shown) for b in bars)


def test_executable_lookup(beadwalks_exe, tmp_path, monkeypatch):
    monkeypatch.setenv("BEADWALKS_BIN", str(tmp_path / "nowhere"))
    monkeypatch.setenv("PATH", str(tmp_path))
    import beadwalks.running as running

    monkeypatch.setattr(running, "SOURCE_TREE", str(tmp_path))
    with pytest.raises(FileNotFoundError, match="no executable beadwalks: looked at .*nowhere/beadwalks"):
        run(2, SMALL, tmp_path / "x.out")
    with pytest.raises(FileNotFoundError, match="looked at /no/such/file"):
        run(2, SMALL, tmp_path / "x.out", executable="/no/such/file")
    monkeypatch.setenv("PATH", str(beadwalks_exe.parent))  # found on PATH at last
    assert run(2, SMALL[:1], tmp_path / "path.out").status == "complete"
    monkeypatch.setenv("BEADWALKS_BIN", str(beadwalks_exe.parent))
    monkeypatch.setenv("PATH", os.defpath)
    assert run(2, SMALL[:1], tmp_path / "bin.out").status == "complete"


def test_bad_arguments_are_refused_before_anything_runs(bin_dir, tmp_path):
    for kwargs, message in ((dict(cpus=0), "cpus = 0"), (dict(cpus=len(os.sched_getaffinity(0)) + 1), "only"),
                            (dict(ranks=0), "ranks = 0")):
        with pytest.raises(ValueError, match=message):
            run(2, SMALL, tmp_path / "x.out", **kwargs)
    with pytest.raises(ValueError, match="model code 4"):
        run(4, SMALL, tmp_path / "x.out")
    with pytest.raises(ValueError, match="data set 1: items of model code 2, not 3"):
        run(3, SMALL, tmp_path / "x.out")
    assert not (tmp_path / "x.out").exists()


def test_progress_parser_follows_the_console_records():
    events = []
    p = ProgressParser(lambda i, f: events.append((i, f)))
    sep = " " * 5 + "=" * 70
    for record in [sep, sep, " Code 2. GS or GSLJ model", sep,
                   " Number of conformations for averaging:             10",
                   " ***** Subsample 1  ******", " Subsample:  1   Conformation:              1",
                   " Subsample:  1   Conformation:              2", " ***** Subsample 2  ******",
                   " Subsample:  5   Conformation:              2", " FINAL RESULTS:", sep]:
        p.feed(record)
    assert events == [(1, 0.0), (1, 0.1), (1, 0.2), (1, 1.0)]
