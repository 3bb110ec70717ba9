"""read_output on files of the real executable: values, statuses, cut copies, bad files."""

from __future__ import annotations

import dataclasses
import pathlib
import warnings

import pytest
from conftest import blocks, fortran_f, fortran_i, output_lines

from beadwalks import FieldOverflowWarning, OutputFormatError, read_output
from beadwalks.model import COMPLETE, INCOMPLETE, STOPPED


def echo_and_report(ds, code: int) -> list[str]:
    """The records the program prints for a data set, rebuilt from the values read."""
    p = ds.parameters
    r = [" General data", " ------------", f" N={fortran_i(ds.N, 4)}",
         f" Total number of conformations: {fortran_i(ds.NCONF, 15)}",
         f" Number of conformations for averaging: {fortran_i(ds.NCONFAVE, 15)}",
         f" Sampling frequecy for averaging: {fortran_i(ds.NFREQ, 15)}",
         f" Seed for random number generator: {fortran_i(ds.ISEED, 15)}",
         f" Hydrodynamic calculations?  (0-No, other-Yes):{fortran_i(ds.IHYD, 3)}",
         f" Radial distribution function P(r) ? (0-NO, other-Number of intervals):{fortran_i(ds.NPR, 5)}"]
    if ds.NPR > 0:
        r.append(f" P(r) from r=0.0 to rmax={fortran_f(ds.RMAX, 8, 2)}")
    r += [" Model-specific data", " -------------------"]
    amplitude = f" Amplitude of Monte-Carlo coordinate displacement={fortran_f(p.get('AMPL'), 6, 3)}"
    if code == 1:
        r.append(f" Hard sphere diameter={fortran_f(p['DHS'], 7, 2)}  DeltaPhi={fortran_f(p['DELTAPHI'], 7, 3)}")
    elif code == 2:
        r += [f" Hookean constant={fortran_f(p['HOOK'], 5, 2)}",
              f" Lennard Jones parameters  EPS={fortran_f(p['EPS'], 4, 2)}  SIG={fortran_f(p['SIG'], 4, 2)}"
              f"  RCUT={fortran_f(p['RCUT'], 4, 2)}", amplitude]
    else:
        r += [f" Hookean constant={fortran_f(p['HOOK'], 6, 3)}",
              f" Exponential potential parameters  A={fortran_f(p['A'], 6, 3)}  Alpha={fortran_f(p['ALPHA'], 6, 3)}"
              f"  RCUT={fortran_f(p['RCUT'], 4, 2)}", amplitude]
    if ds.status == STOPPED:
        return r
    r += [" --------------", " FINAL RESULTS:",
          f" Number of rejected conformations ={fortran_i(ds.rejected, 15)}",
          f" Percent of rejected conformations={fortran_f(ds.rejected_percent, 6, 2)}",
          f" Reduced mean square end-to-end distance <r2>*={fortran_f(ds.r2.mean, 7, 3)} +-{fortran_f(ds.r2.error, 7, 3)}",
          f" Reduced mean square radius of gyration  <s2>*={fortran_f(ds.s2.mean, 7, 3)} +-{fortran_f(ds.s2.error, 7, 3)}"]
    if ds.IHYD:
        r += [f" Reduced diffusion coefficient  D*={fortran_f(ds.D.mean, 9, 5)}+-{fortran_f(ds.D.error, 9, 5)}",
              f" Reduced intrinsic viscosity [eta]*={fortran_f(ds.eta.mean, 9, 3)}+-{fortran_f(ds.eta.error, 9, 3)}"]
    r += [f"{fortran_f(row.r, 6, 3)}{fortran_f(row.P, 10, 5)}" for row in ds.pr]
    return r


@pytest.mark.filterwarnings("ignore::beadwalks.FieldOverflowWarning")
@pytest.mark.parametrize("name, code, count", [("rl", 1, 2), ("gs", 2, 2), ("ss", 3, 1), ("series", 2, 4),
                                               ("stopped", 1, 2)])
def test_every_value_read_equals_its_printed_record(made, name, code, count):
    run = read_output(made[name].path)
    assert run.model_code == code
    assert len(run.data_sets) == count
    printed = blocks(output_lines(made[name].path))
    for ds, records in zip(run.data_sets, printed):
        if ds.status == COMPLETE:
            assert echo_and_report(ds, code) == records
    assert [ds.index for ds in run.data_sets] == list(range(1, count + 1))


def test_header_and_the_kinds_of_report(made):
    run = read_output(made["rl"].path)
    assert (run.status, run.message) == (COMPLETE, None)
    assert run.input_file == "rl.dat" and run.output_file == "rl run.out"
    with_all, plain = run.data_sets
    assert with_all.hydrodynamics and len(with_all.pr) == with_all.NPR == 10
    assert [row.r for row in with_all.pr[:2]] == [0.6, 1.8]  # centres (i - 1/2) RMAX / NPR
    assert abs(sum(row.P for row in with_all.pr) - 1.0) < 0.01  # fractions of all samples (RMAX > N - 1)
    assert not plain.hydrodynamics and plain.D is None and plain.eta is None and plain.pr == []
    assert plain["DHS"] == 0.0 and plain["N"] == 8 and plain.NFREQ == 1000 // 50


def test_asterisks_read_as_missing_with_a_warning(made):
    with pytest.warns(FieldOverflowWarning, match="EPS of data set 1"):
        run = read_output(made["gs"].path)
    hydro, pr = run.data_sets
    assert hydro.parameters == {"HOOK": 3.0, "EPS": None, "SIG": 0.8, "RCUT": 2.5, "AMPL": 0.7}
    assert hydro.complete and hydro.D is not None and hydro.pr == []
    assert pr.parameters["EPS"] == 0.2 and len(pr.pr) == 8 and pr.D is None
    assert len(run.warnings) == 1 and "EPS" in run.warnings[0]


@pytest.mark.parametrize("name, message, item", [
    ("stopped", "N=         150  is not valid. Maximum number of beads is 100", ("N", 150)),
    ("stop_nconfave", "NCONFAVE=           3 is not valid. Minimum value of conformations for averaging is 5",
     ("NCONFAVE", 3)),
    ("stop_npr", "NPR=     2000000  is not valid. Maximum number of intervals is 1000000", ("NPR", 2000000)),
    ("stop_simulation", "Monte Carlo: a pair energy of the initial chain is not finite; "
                        "the interaction parameters cannot be simulated", ("N", 5)),
])
def test_a_stopped_run_gives_what_is_there_and_its_message(made, name, message, item):
    assert made[name].status == 1
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", FieldOverflowWarning)  # SIG = 1e10 does not fit F4.2
        run = read_output(made[name].path)
    assert (run.status, run.message) == (STOPPED, message)
    last = run.data_sets[-1]
    assert (last.status, last.message) == (STOPPED, message)
    assert last[item[0]] == item[1]
    assert all(ds.status == COMPLETE for ds in run.data_sets[:-1])


def test_an_invalid_model_code_stops_before_any_data_set(made):
    run = read_output(made["stop_code"].path)
    assert (run.model_code, run.status, run.message, run.data_sets) == (4, STOPPED, "Code=  4 is not valid", [])
    assert run.input_file is None


def test_a_fatal_input_failure_leaves_an_incomplete_data_set(made):
    assert made["fatal"].status == 2 and "input conversion error" in made["fatal"].stderr
    run = read_output(made["fatal"].path)
    (ds,) = run.data_sets
    assert (run.status, ds.status, ds.N, ds.ISEED, ds.IHYD) == (INCOMPLETE, INCOMPLETE, 5, 1, None)


def _same_or_missing(cut, full) -> bool:
    """Every value of the cut copy is the full file's value, or not there yet."""
    for f in dataclasses.fields(full):
        a, b = getattr(cut, f.name), getattr(full, f.name)
        if f.name in ("status", "message"):
            continue
        if f.name == "pr":
            if a != b[:len(a)]:
                return False
        elif f.name == "parameters":
            if any(b[k] != v for k, v in a.items()):
                return False
        elif a is not None and a != b:
            return False
    return True


def test_every_cut_copy_reads_as_far_as_it_goes(made, tmp_path):
    full_bytes = made["rl"].path.read_bytes()
    full = read_output(made["rl"].path)
    line_ends = [i + 1 for i, b in enumerate(full_bytes) if b == 0x0A]
    cuts = sorted(set(line_ends + [e - 5 for e in line_ends] + [e - 1 for e in line_ends]))
    title_end = full_bytes.index(b"Program BEADWALKS") + len("Program BEADWALKS\n")
    # A copy cut just after a separator record (with or without its line end)
    # cannot be told from a run that ended there; every other cut is incomplete.
    separator_ends = [e for e in line_ends if full_bytes[:e].endswith(b"=" * 70 + b"\n")][2:]
    copy = tmp_path / "cut.out"
    for cut in cuts:
        if cut < title_end:
            continue
        copy.write_bytes(full_bytes[:cut])
        run = read_output(copy)
        assert run.status == (COMPLETE if {cut, cut + 1} & set(separator_ends) else INCOMPLETE), cut
        assert len(run.data_sets) <= len(full.data_sets)
        for ds, whole in zip(run.data_sets, full.data_sets):
            assert ds.status in (COMPLETE, INCOMPLETE), cut
            assert _same_or_missing(ds, whole), cut
            if ds.status == COMPLETE:
                assert ds == whole, cut
        # A data set is complete as soon as its last record is there.
        complete = sum(ds.status == COMPLETE for ds in run.data_sets)
        assert complete == _whole_reports_before(full_bytes, cut), cut


def _whole_reports_before(data: bytes, cut: int) -> int:
    """Reports of the rl file that end (line end included, or whole record) within ``cut`` bytes."""
    lines = data.split(b"\n")
    # Data set 1 ends with its 10th P(r) row, data set 2 with its <s2>* record.
    ends, seen, pos = [], 0, 0
    for line in lines:
        pos += len(line) + 1
        if line.startswith(b" Reduced mean square radius"):
            seen += 1
            if seen == 2:
                ends.append(pos)
        if line.startswith(b"11.400"):  # the last bin centre of data set 1
            ends.append(pos)
    return sum(1 for e in ends if e - 1 <= cut)


def test_windows_line_ends_read_the_same(made, tmp_path):
    copy = tmp_path / "crlf.out"
    copy.write_bytes(made["rl"].path.read_bytes().replace(b"\n", b"\r\n"))
    a, b = read_output(copy), read_output(made["rl"].path)
    assert (a.data_sets, a.status, a.output_file) == (b.data_sets, b.status, b.output_file)


@pytest.mark.parametrize("content, why", [
    (b"", "empty"),
    (b"\n  \n", "empty"),
    (b"\x89PNG\r\n\x1a\n\0\0\0\rIHDR", "binary"),
    (b"20\n20000\n1000\n12345\n-1\n", "not an output file"),
    (b"     " + b"=" * 70 + b"\n Some other program\n", "not an output file"),
])
def test_foreign_empty_and_binary_files_are_refused(tmp_path, content, why):
    path = tmp_path / "foreign.out"
    path.write_bytes(content)
    with pytest.raises(OutputFormatError, match=why):
        read_output(path)


def test_a_record_out_of_place_is_refused(made, tmp_path):
    lines = made["rl"].path.read_text().split("\n")
    i = lines.index(" FINAL RESULTS:")
    lines.insert(i + 1, " something else")
    path = tmp_path / "edited.out"
    path.write_text("\n".join(lines))
    with pytest.raises(OutputFormatError, match=f"line {i + 2}: unexpected record"):
        read_output(path)


def test_unreadable_paths_raise_os_errors(tmp_path):
    with pytest.raises(FileNotFoundError):
        read_output(tmp_path / "missing.out")
    with pytest.raises(IsADirectoryError):
        read_output(tmp_path)
    with pytest.raises(OutputFormatError, match="not a regular file"):
        read_output(pathlib.Path("/dev/null"))
