"""Data sets built in code: the program's rules on creation, the data file written and read back,
and the real executable reading what was written."""

from __future__ import annotations

import subprocess

import numpy as np
import pytest

from beadwalks import DataSetInput, read_data_file, read_output, write_data_file
from beadwalks.inputs import decimal_to_float32, float32_text

# One data set of each code, with reals that are not exact in binary and a
# seed record with no value in the second data set of each file.
BASE = dict(N=4, NCONF=40, NCONFAVE=10, ISEED=3, IHYD=0, NPR=0)
MODELS = {
    1: dict(DHS=0.35, DELTAPHI=1.125),
    2: dict(EPS=0.3, SIG=0.85, RCUT=2.45, HOOK=3.1, AMPL=0.725),
    3: dict(A=0.125, ALPHA=1.3, RCUT=1.85, HOOK=50.5, AMPL=0.2),
}
#: Decimals of each item's echo.
ECHO_DECIMALS = {1: dict(DHS=2, DELTAPHI=3), 2: dict(HOOK=2, EPS=2, SIG=2, RCUT=2, AMPL=3),
                 3: dict(HOOK=3, A=3, ALPHA=3, RCUT=2, AMPL=3)}


def run_program(exe, code, data, tmp_path, name="echo.out"):
    p = subprocess.run([str(exe)], input=f"{code}\n{data.name}\n{name}\n\n", cwd=tmp_path, capture_output=True,
                       text=True, timeout=60)
    return p, tmp_path / name


@pytest.mark.parametrize("code", [1, 2, 3])
def test_written_file_reads_back_exactly_and_the_program_echoes_the_values(code, beadwalks_exe, tmp_path):
    first = DataSetInput(**BASE, **MODELS[code])
    second = first.with_items(N=6, ISEED=None, IHYD=1, NPR=3, RMAX=7.25, NCONF=55)
    data = tmp_path / "in.dat"
    write_data_file(data, code, [first, second])
    assert read_data_file(data, code) == [first, second]
    p, out = run_program(beadwalks_exe, code, data, tmp_path)
    assert p.returncode == 0, p.stderr
    echoed = read_output(out).data_sets
    assert [ds.status for ds in echoed] == ["complete", "complete"]
    for given, ds in zip((first, second), echoed):
        assert (ds.N, ds.NCONF, ds.NCONFAVE, ds.IHYD, ds.NPR) == (given.N, given.NCONF, given.NCONFAVE,
                                                                given.IHYD, given.NPR)
        for name, decimals in ECHO_DECIMALS[code].items():
            assert ds.parameters[name] == round(getattr(given, name), decimals), name
    assert echoed[0].ISEED == 3 and echoed[1].ISEED not in (None, 3)  # the state went on
    assert echoed[1].RMAX == 7.25 and len(echoed[1].pr) == 3


def test_reals_are_held_and_written_as_the_float32_the_program_uses():
    ds = DataSetInput(**BASE, **dict(MODELS[2], HOOK=0.1, EPS=1e-40, AMPL=3.4028235e38))
    assert ds.HOOK == float(np.float32(0.1)) and ds.HOOK != 0.1
    assert float32_text(ds.HOOK) == "0.1" and float32_text(ds.AMPL) == "3.4028235e+38"
    assert ds.EPS == float(np.float32(1e-40)) and ds.EPS > 0.0  # a subnormal stays
    rng = np.random.default_rng(1)
    bits = rng.integers(0, 2 ** 32, 5000, dtype=np.uint64).astype(np.uint32)
    values = bits.view(np.float32)
    for v in values[np.isfinite(values)]:
        text = float32_text(float(v))
        assert decimal_to_float32(text) == float(v), text
        # No shorter decimal would do: one digit less reads as another float.
        assert len(text) <= len(repr(float(v))) or "e" in text


RULES = [
    (dict(N=1), "N = 1"), (dict(N=101), "N = 101"), (dict(N=2.0), "N = 2.0"),
    (dict(NCONFAVE=4), "NCONFAVE = 4"), (dict(NCONF=2 ** 31), "NCONF = 2147483648"),
    (dict(ISEED=-(2 ** 31) - 1), "ISEED"), (dict(IHYD=True), "IHYD"),
    (dict(NPR=1_000_001, RMAX=1.0), "NPR = 1000001"), (dict(NPR=5), "RMAX: missing"),
    (dict(RMAX=3.0), "RMAX: given"), (dict(HOOK=float("inf")), "HOOK = inf"),
    (dict(HOOK=float("nan")), "HOOK = nan"), (dict(SIG=4e38), "SIG = 4e+38: beyond"),
    (dict(AMPL="1"), "AMPL = '1'"), (dict(AMPL=None), "AMPL: missing"), (dict(DHS=0.5), "DHS: not an item"),
    (dict(EPS=None, SIG=None), "RCUT: belongs to codes 2 and 3"),
]


@pytest.mark.parametrize("change, named", RULES)
def test_every_rule_is_refused_naming_the_item(change, named):
    with pytest.raises(ValueError, match=named.replace("(", r"\(").replace("+", r"\+")):
        DataSetInput(**{**BASE, **MODELS[2], **change})


def test_limits_that_pass_pass_and_the_program_refuses_one_beyond(beadwalks_exe, tmp_path):
    DataSetInput(**dict(BASE, N=2, NCONFAVE=5, NPR=1_000_000, RMAX=1.0, NCONF=-(2 ** 31)), **MODELS[1])
    DataSetInput(**dict(BASE, N=100, ISEED=2 ** 31 - 1, SIG=3.4e38), **{k: v for k, v in MODELS[2].items()
                                                                      if k != "SIG"})
    # The program's own word on the bead count and NCONFAVE, one beyond each.
    for text, message in (("101\n", "Maximum number of beads"), ("1\n", "Minimum number of beads"),
                          ("5\n100\n4\n", "Minimum value of conformations")):
        data = tmp_path / "beyond.dat"
        data.write_text(text)
        p, out = run_program(beadwalks_exe, 1, data, tmp_path, "beyond.out")
        assert p.returncode == 1 and message in out.read_text()


def test_write_refuses_a_data_set_of_another_code(tmp_path):
    with pytest.raises(ValueError, match="data set 2: items of model code 3, not 2"):
        write_data_file(tmp_path / "x.dat", 2, [DataSetInput(**BASE, **MODELS[2]),
                                                 DataSetInput(**BASE, **MODELS[3])])


# A file a person wrote: a byte-order mark, CRLF, tabs, comments, empty lines,
# D exponents, an integer for a real, N behind blanks inside columns 1 to 7,
# and an NCONF record with no value (the previous data set's NCONF stays).
HAND_WRITTEN = ("\ufeff  12   \tN with a comment\r\n"
                "\r\n"
                "   2000 total conformations\r\n"
                "100,NCONFAVE\r\n"
                "7/ seed\r\n"
                "1\r\n"
                "4\r\n"
                "1.2D1 RMAX\r\n"
                "\t0.5\r\n"
                "\r\n"
                "15d-1\r\n"
                "8\r\n"
                ", NCONF as before\r\n"
                "50\r\n"
                ",\r\n"
                "0\r\n"
                "0\r\n"
                "0\r\n"
                "2\r\n"
                "-1      end of the file\r\n")


def test_hand_written_file_reads_as_the_program_reads_it(beadwalks_exe, tmp_path):
    data = tmp_path / "hand.dat"
    data.write_bytes(HAND_WRITTEN.encode("utf-8"))
    first, second = read_data_file(data, 1)
    assert first == DataSetInput(N=12, NCONF=2000, NCONFAVE=100, ISEED=7, IHYD=1, NPR=4, RMAX=12.0, DHS=0.5,
                                 DELTAPHI=1.5)
    assert second == DataSetInput(N=8, NCONF=2000, NCONFAVE=50, ISEED=None, IHYD=0, NPR=0, DHS=0.0, DELTAPHI=2.0)
    p, out = run_program(beadwalks_exe, 1, data, tmp_path, "hand.out")
    assert p.returncode == 0, p.stderr
    echoed = read_output(out).data_sets
    assert [(ds.N, ds.NCONF, ds.NCONFAVE, ds.RMAX, ds["DHS"], ds["DELTAPHI"]) for ds in echoed] == [
        (12, 2000, 100, 12.0, 0.5, 1.5), (8, 2000, 50, None, 0.0, 2.0)]


@pytest.mark.parametrize("text, message", [
    ("-1 end\n", r"line 1: N: '-1 end'"),
    ("5\n100\n5\n1\nyes\n", r"line 5: IHYD: 'yes'"),
    ("5\n100\n5\n1\n0\n0\n0.5\n1.0.0\n", r"line 8: DELTAPHI: '1.0.0'"),
    ("5\n100\n5\n2147483648\n", r"line 4: ISEED: '2147483648'"),
    ("5\n100\n5\n1\n0\n0\n1e39\n", r"line 7: DHS: '1e39'"),
    ("5\n100\n5\n1\n0\n0\n0.5\n", r"end of file where DELTAPHI"),
    ("5\n100\n5\n1\n0\n0\n0.5\n1\n", r"end of file where N"),
    ("150\n", r"line 1: N = 150"),
    # Refused where the program refuses them, before the end of the file is reached.
    ("5\n100\n4\n", r"line 3: NCONFAVE = 4: must be at least 5"),
    ("5\n100\n5\n1\n0\n2000000\n", r"line 6: NPR = 2000000: must be at most 1000000"),
])
def test_what_the_program_cannot_read_is_refused_with_line_and_item(text, message, beadwalks_exe, tmp_path):
    data = tmp_path / "bad.dat"
    data.write_text(text)
    with pytest.raises(ValueError, match=message):
        read_data_file(data, 1)
    p, _ = run_program(beadwalks_exe, 1, data, tmp_path, "bad.out")
    assert p.returncode != 0  # and so does the program
