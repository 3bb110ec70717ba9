"""Running the executables from Python: the dialogue and the pause answered, progress shown.

``run(code, data, output)`` runs ``beadwalks`` (or ``mpirun -np P
beadwalks-mpi``) on a data file or on a list of :class:`DataSetInput`, and
returns the output file read as a :class:`Run`. A run that stops raises
:class:`RunError`.

Checkpoints: while it runs, the program keeps ``<output>.ckpt`` beside the
output file, and a new start on the same two files resumes from it (the
checkpoint names the files and their digests, and the program sets aside one
that does not fit). ``run`` leaves it alone: a study killed half way (Ctrl-C
in the script, a lost session) and started again with the same inputs goes on
where it stopped and gives the same bytes, which is what its user wants; a
study with other inputs cannot be harmed by it.
"""

from __future__ import annotations

import collections
import os
import re
import shutil
import signal
import subprocess
import sys
import threading
from typing import Callable, Optional, Sequence, TextIO, Union

from beadwalks.inputs import DataSetInput, PathLike, write_data_file
from beadwalks.model import Run
from beadwalks.reader import OutputFormatError, read_output

#: Where the package sits in the source tree: <tree>/python/beadwalks.
SOURCE_TREE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

ProgressCallback = Callable[[int, float], None]

_SEPARATOR = " " * 5 + "=" * 70
_SUBSAMPLE = re.compile(r" \*\*\*\*\* Subsample *(\d+)  \*\*\*\*\*\*$")
_PROGRESS = re.compile(r" Subsample: *(\d+)   Conformation: *(\d+)$")
_NCONFAVE = re.compile(r" Number of conformations for averaging: *(-?\d+)$")
_FINAL = " FINAL RESULTS:"
#: Separator records of the banner, before the first data set's.
_BANNER_SEPARATORS = 2
#: Subsamples of a data set.
NSUB = 5


class RunError(RuntimeError):
    """A run that stopped: ``status`` (the exit status, or -signal when killed),
    ``message`` (the stop record of the output file, or the diagnostic on
    standard error) and ``run`` (the :class:`Run` read so far, or None when
    there is no output file to read)."""

    def __init__(self, status: int, message: str, run: Optional[Run]) -> None:
        super().__init__(f"exit status {status}: {message}")
        self.status = status
        self.message = message
        self.run = run


def find_executable(name: str, executable: Optional[PathLike] = None) -> str:
    """The path of executable ``name``: ``executable``, else $BEADWALKS_BIN/name,
    else build/name of the source tree this package sits in, else ``name`` on PATH.

    ``BEADWALKS_BIN`` is the folder that holds the executables. FileNotFoundError
    names the places looked at.
    """
    looked = []
    candidates = []
    if executable is not None:
        candidates.append(os.fspath(executable))
    else:
        if os.environ.get("BEADWALKS_BIN"):
            candidates.append(os.path.join(os.environ["BEADWALKS_BIN"], name))
        candidates.append(os.path.join(SOURCE_TREE, "build", name))
    for path in candidates:
        looked.append(path)
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
    if executable is None:
        found = shutil.which(name)
        if found:
            return found
        looked.append(f"{name} on PATH")
    raise FileNotFoundError(f"no executable {name}: looked at {', '.join(looked)} "
                            f"(build it, or give executable= or BEADWALKS_BIN)")


def usable_cpus() -> list[int]:
    """The CPUs this process may run on."""
    try:
        return sorted(os.sched_getaffinity(0))
    except AttributeError:  # not Linux
        return list(range(os.cpu_count() or 1))


def _cpu_prefix(cpus: Optional[int]) -> list[str]:
    """taskset to the first ``cpus`` usable CPUs; the program counts the CPUs of its mask."""
    if cpus is None:
        return []
    if isinstance(cpus, bool) or not isinstance(cpus, int) or cpus < 1:
        raise ValueError(f"cpus = {cpus!r}: must be a positive integer")
    available = usable_cpus()
    if cpus > len(available):
        raise ValueError(f"cpus = {cpus}: only {len(available)} CPUs may be used here")
    taskset = shutil.which("taskset")
    if taskset is None:
        raise FileNotFoundError("no taskset on PATH (Debian: util-linux), needed for cpus=")
    return [taskset, "-c", ",".join(str(c) for c in available[:cpus])]


def _mpi_prefix(ranks: int, cpus: Optional[int]) -> list[str]:
    if isinstance(ranks, bool) or not isinstance(ranks, int) or ranks < 1:
        raise ValueError(f"ranks = {ranks!r}: must be a positive integer")
    mpirun = shutil.which("mpirun")
    if mpirun is None:
        raise FileNotFoundError("no mpirun on PATH (Debian: openmpi-bin), needed for ranks=")
    command = [mpirun, "--quiet", "-np", str(ranks)]
    if hasattr(os, "geteuid") and os.geteuid() == 0:
        command.append("--allow-run-as-root")
    if ranks > (cpus or len(usable_cpus())):
        command.append("--oversubscribe")
    if cpus is not None:
        # The ranks share the CPUs that taskset gave mpirun, not one core each.
        command += ["--bind-to", "none"]
    return command


def _quoted(path: str) -> str:
    """A file name as a dialogue answer: between apostrophes, an apostrophe doubled."""
    if "\n" in path or "\r" in path:
        raise ValueError(f"file name {path!r}: a line end cannot be given in the dialogue")
    return "'" + path.replace("'", "''") + "'"


def data_file_beside(output: PathLike) -> str:
    """Where run() writes data sets given as objects: <output stem>.dat beside the output."""
    output = os.fspath(output)
    stem, _ = os.path.splitext(output)
    path = stem + ".dat"
    return path if os.path.abspath(path) != os.path.abspath(output) else output + ".dat"


def prepare_data(code: int, data: Union[PathLike, Sequence[DataSetInput]], output: PathLike) -> str:
    """The data file to run: ``data`` itself, or the data sets written beside the output."""
    if isinstance(data, (str, bytes, os.PathLike)):
        return os.fspath(data)
    path = data_file_beside(output)
    write_data_file(path, code, list(data))
    return path


class ProgressParser:
    """Turns console records into (data set index, done fraction), data set by data set.

    The console shows the records of one data set after another, in the order
    of the file: its separator, its echo (NCONFAVE), a record at the start of
    every subsample and one every NCONFAVE / 20 sampled conformations, then
    its report. The fraction is the sampled conformations done over the 5 x
    (NCONFAVE / 5) of the data set.
    """

    def __init__(self, report: ProgressCallback) -> None:
        self.report = report
        self.separators = 0
        self.per_subsample = 0
        self.last = -1.0

    @property
    def data_set(self) -> int:
        return self.separators - _BANNER_SEPARATORS

    def _emit(self, fraction: float) -> None:
        if self.data_set >= 1 and fraction > self.last:
            self.last = fraction
            self.report(self.data_set, fraction)

    def feed(self, record: str) -> None:
        if record == _SEPARATOR:
            self.separators += 1
            self.per_subsample, self.last = 0, -1.0
            return
        m = _NCONFAVE.match(record)
        if m:
            self.per_subsample = max(int(m.group(1)) // NSUB, 0)
            return
        m = _SUBSAMPLE.match(record)
        if m and self.per_subsample:
            self._emit((int(m.group(1)) - 1) / NSUB)
            return
        m = _PROGRESS.match(record)
        if m and self.per_subsample:
            done = (int(m.group(1)) - 1) * self.per_subsample + int(m.group(2))
            self._emit(min(done / (NSUB * self.per_subsample), 1.0))
            return
        if record == _FINAL:
            self._emit(1.0)


class _LineBar:
    """One updating line on standard error: "data set 2: 45 %"."""

    def __init__(self, stream: TextIO) -> None:
        self.stream = stream
        self.shown = False

    def __call__(self, index: int, fraction: float) -> None:
        try:
            self.stream.write(f"\rbeadwalks: data set {index}: {100.0 * fraction:5.1f} %")
            self.stream.flush()
            self.shown = True
        except (OSError, ValueError):
            pass

    def close(self) -> None:
        if self.shown:
            try:
                self.stream.write("\n")
                self.stream.flush()
            except (OSError, ValueError):
                pass


class _TqdmBar:
    """A tqdm bar per data set, 0 to 100 %."""

    def __init__(self, tqdm) -> None:
        self.tqdm = tqdm
        self.bar = None
        self.index = 0

    def __call__(self, index: int, fraction: float) -> None:
        if index != self.index:
            self.close()
            self.bar = self.tqdm(total=100, desc=f"data set {index}", unit="%", leave=True, file=sys.stderr)
            self.index = index
        self.bar.n = round(100.0 * fraction, 1)
        self.bar.refresh()

    def close(self) -> None:
        if self.bar is not None:
            self.bar.close()
            self.bar = None


def _progress_sink(progress: Union[None, bool, ProgressCallback]):
    """(callback or None, closer) for the ``progress`` argument."""
    if progress is None or progress is False:
        return None, lambda: None
    if callable(progress):
        return progress, lambda: None
    if progress is True:
        try:
            from tqdm import tqdm  # type: ignore[import-not-found]
            bar = _TqdmBar(tqdm)
        except ImportError:
            bar = _LineBar(sys.stderr)
        return bar, bar.close
    raise TypeError("progress: True, False, None or a callable(data_set_index, done_fraction)")


def _drain(stream, tail: collections.deque) -> None:
    for line in stream:
        tail.append(line.rstrip("\n"))


def run_process(command: list[str], dialogue: Optional[str], on_record: Optional[Callable[[str], None]] = None,
                cwd: Optional[str] = None) -> tuple[int, list[str], list[str]]:
    """Runs ``command`` with ``dialogue`` on its standard input (then closed, so that a
    question left unanswered ends the program instead of waiting); every record of
    standard output goes to ``on_record``. Returns the exit status (negative: the
    signal) and the last records of standard output and standard error.

    An exception in ``on_record``, or a KeyboardInterrupt, stops the program
    (SIGTERM: it writes its checkpoint) and is raised again.
    """
    out_tail: collections.deque = collections.deque(maxlen=20)
    err_tail: collections.deque = collections.deque(maxlen=20)
    process = subprocess.Popen(command, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                               text=True, errors="replace", cwd=cwd)
    errors = threading.Thread(target=_drain, args=(process.stderr, err_tail), daemon=True)
    errors.start()
    try:
        try:
            process.stdin.write(dialogue or "")
            process.stdin.close()
        except BrokenPipeError:
            pass  # it stopped before reading all of it; its status says why
        for line in process.stdout:
            record = line.rstrip("\n")
            out_tail.append(record)
            if on_record is not None:
                on_record(record)
        status = process.wait()
    except BaseException:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
            try:
                process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        raise
    finally:
        errors.join(timeout=10)
        process.stdout.close()
    return status, list(out_tail), list(err_tail)


def stop_message(status: int, run: Optional[Run], out_tail: Sequence[str], err_tail: Sequence[str]) -> str:
    """What a stopped run says: the signal, the stop record, or the diagnostic."""
    if status < 0:
        try:
            name = signal.Signals(-status).name
        except ValueError:
            name = f"signal {-status}"
        return f"killed by {name}"
    errs = [line for line in err_tail if line.strip()]
    if status == 1 and run is not None and run.message:
        return run.message
    if errs:
        return errs[-1]
    outs = [line for line in out_tail if line.strip()]
    return outs[-1].strip() if outs else f"stopped with exit status {status}"


def read_if_any(output: str) -> Optional[Run]:
    """The output file read so far, or None when there is none to read."""
    try:
        return read_output(output)
    except (OSError, OutputFormatError):
        return None


def run(code: int, data: Union[PathLike, Sequence[DataSetInput]], output: PathLike, *,
        cpus: Optional[int] = None, ranks: Optional[int] = None, executable: Optional[PathLike] = None,
        progress: Union[None, bool, ProgressCallback] = None) -> Run:
    """Runs the data sets of ``data`` with model ``code`` into ``output`` and reads the output.

    ``data``: a data file, or a list of :class:`DataSetInput` (written as
    <output stem>.dat beside the output). ``cpus``: keep the run to that many
    CPUs; ``ranks``: run ``mpirun -np ranks beadwalks-mpi``. ``executable``:
    the program to run (otherwise found by :func:`find_executable`).
    ``progress``: True for a progress bar on standard error, or a callable
    receiving (data set index from 1, done fraction), in order.

    A run that stops (a refused item, an unreadable file, a failed
    simulation, a signal) raises :class:`RunError`.
    """
    if code not in (1, 2, 3) or isinstance(code, bool):
        raise ValueError(f"model code {code!r}: must be 1, 2 or 3")
    output = os.fspath(output)
    if ranks is None:
        command = _cpu_prefix(cpus) + [find_executable("beadwalks", executable)]
    else:
        command = _cpu_prefix(cpus) + _mpi_prefix(ranks, cpus) + [find_executable("beadwalks-mpi", executable)]
    if progress:
        # Into a pipe the console is written in blocks; line by line, the
        # progress records come as they are made.
        stdbuf = shutil.which("stdbuf")
        if stdbuf is not None:
            command[-1:-1] = [stdbuf, "-oL"]
    infile = prepare_data(code, data, output)
    if not os.path.exists(infile):
        raise FileNotFoundError(f"no data file {infile}")
    dialogue = f"{code}\n{_quoted(os.path.abspath(infile))}\n{_quoted(os.path.abspath(output))}\n\n"
    sink, close = _progress_sink(progress)
    parser = ProgressParser(sink) if sink is not None else None
    try:
        status, out_tail, err_tail = run_process(command, dialogue, parser.feed if parser else None)
    finally:
        close()
    result = read_if_any(output)
    if status != 0:
        raise RunError(status, stop_message(status, result, out_tail, err_tail), result)
    if result is None:
        raise RunError(status, f"the output file {output} cannot be read", None)
    return result
