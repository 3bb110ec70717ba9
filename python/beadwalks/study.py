"""A study in one command: a grid of data sets, diagnosed, refined, run and summarised.

    python3 -m beadwalks.study STUDY.toml [--refine] [--ranks P] [--cpus C]

The study file (TOML) names the model ``code``, the ``output`` file (relative
to the study file), the ``[defaults]`` items of every data set, a ``[grid]``
of lists (one data set per combination, the first list varying slowest) and
optional ``[[data_set]]`` tables (items over the defaults, one data set
each), and ``max_cycles`` (the most NCONF a refinement may ask for). Without
a grid or data_set tables the defaults are the one data set. ``RMAX`` is left
out of the data sets whose ``NPR`` asks for no P(r), so that a grid may mix
them.

The command checks the whole file first: a bad study file gets one line
naming the key on standard error and exit status 2 before anything runs.
Each data set is diagnosed by ``beadwalks-diagnose`` (its verdicts); with
``--refine`` the data sets that are not reliable are diagnosed again with the
refined inputs (:meth:`Diagnosis.refined_inputs`) until every verdict is
``reliable``, nothing more can be asked, or ``max_cycles`` stops it. Then the
final inputs run with ``beadwalks`` (``--ranks``: beadwalks-mpi) into the
output file, and the folder ``<output stem>/`` receives ``<stem>.json``,
``<stem>.csv``, the pictures and ``summary.md``. Exit status 0, 1 when the
run stops, 2 for a bad study file or an executable not found.
"""

from __future__ import annotations

import argparse
import dataclasses
import itertools
import json
import os
import re
import sys
import tomllib
import warnings
from dataclasses import dataclass, field
from typing import Any, Optional, Sequence

from beadwalks.console import say
from beadwalks.diagnosis import DataSetDiagnosis, RefinementCapped, diagnose
from beadwalks.export import run_dict
from beadwalks.fits import PowerLaw, fit_power_laws
from beadwalks.inputs import ALL_MODEL_ITEMS, INTEGER_ITEMS, MODEL_ITEMS, DataSetInput
from beadwalks.limits import LongChainLimit, fitted_limits, with_autocorrelation_errors
from beadwalks.model import PROPERTY_LABELS, Estimate, Run
from beadwalks.results import limit_line, write_csv, write_plots
from beadwalks.running import RunError, run

PROG = "beadwalks.study"
EXIT_RUN_STOPPED = 1
EXIT_BAD_STUDY = 2
#: Diagnosis rounds at most, whatever the advice: a guard, not a target.
MAX_ROUNDS = 8

TOP_KEYS = ("code", "output", "defaults", "grid", "data_set", "max_cycles")
REAL_ITEMS = ("RMAX", *ALL_MODEL_ITEMS)


class StudyError(ValueError):
    """A study file that cannot be run: ``key`` names the culprit."""

    def __init__(self, key: str, message: str) -> None:
        super().__init__(f"{key}: {message}")
        self.key = key


@dataclass
class Study:
    """A checked study file: the data sets in order, with where each came from."""

    path: str
    code: int
    output: str
    data_sets: list[DataSetInput]
    origins: list[str]
    varying: list[str]
    max_cycles: Optional[int] = None


def _check_item(key: str, name: str, value: Any, code: int) -> None:
    if name not in INTEGER_ITEMS and name not in REAL_ITEMS:
        raise StudyError(key, "not an item of a data set")
    if name in ALL_MODEL_ITEMS and name not in MODEL_ITEMS[code]:
        raise StudyError(key, f"not an item of model code {code} ({', '.join(MODEL_ITEMS[code])})")
    if isinstance(value, bool) or (name in INTEGER_ITEMS and not isinstance(value, int)) or \
            (name in REAL_ITEMS and not isinstance(value, (int, float))):
        raise StudyError(key, f"{value!r} is not {'an integer' if name in INTEGER_ITEMS else 'a number'}")


def _table(document: dict, key: str) -> dict:
    value = document.get(key, {})
    if not isinstance(value, dict):
        raise StudyError(key, "must be a table")
    return value


def load_study(path: str) -> Study:
    """Reads and checks a study file; StudyError names the first bad key."""
    try:
        with open(path, "rb") as f:
            document = tomllib.load(f)
    except OSError as e:
        raise StudyError(path, e.strerror or str(e)) from None
    except tomllib.TOMLDecodeError as e:
        raise StudyError(path, f"not TOML: {e}") from None
    for key in document:
        if key not in TOP_KEYS:
            raise StudyError(key, f"unknown key (known: {', '.join(TOP_KEYS)})")
    code = document.get("code")
    if isinstance(code, bool) or code not in MODEL_ITEMS:
        raise StudyError("code", f"{code!r}: must be 1, 2 or 3")
    output = document.get("output")
    if not isinstance(output, str) or not output.strip():
        raise StudyError("output", "must be a file name")
    max_cycles = document.get("max_cycles")
    if max_cycles is not None and (isinstance(max_cycles, bool) or not isinstance(max_cycles, int)
                                   or max_cycles < 1):
        raise StudyError("max_cycles", f"{max_cycles!r}: must be a positive integer")
    defaults = _table(document, "defaults")
    grid = _table(document, "grid")
    for name, value in defaults.items():
        _check_item(f"defaults.{name}", name, value, code)
    for name, values in grid.items():
        if not isinstance(values, list) or not values:
            raise StudyError(f"grid.{name}", "must be a non-empty list")
        for value in values:
            _check_item(f"grid.{name}", name, value, code)
    tables = document.get("data_set", [])
    if not isinstance(tables, list) or not all(isinstance(t, dict) for t in tables):
        raise StudyError("data_set", "must be tables [[data_set]]")
    for k, table in enumerate(tables, start=1):
        for name, value in table.items():
            _check_item(f"data_set[{k}].{name}", name, value, code)

    # (items, where they came from, the table that gave its own items)
    combos: list[tuple[dict, str, dict, str]] = []
    names = list(grid)
    for values in itertools.product(*(grid[n] for n in names)) if names else []:
        combos.append(({**defaults, **dict(zip(names, values))},
                       "grid " + ", ".join(f"{n} = {v}" for n, v in zip(names, values)), grid, "grid"))
    combos += [({**defaults, **table}, f"data_set[{k}]", table, f"data_set[{k}]")
               for k, table in enumerate(tables, start=1)]
    if not combos:
        combos = [(dict(defaults), "defaults", defaults, "defaults")]
    data_sets = []
    for k, (items, origin, own, own_key) in enumerate(combos, start=1):
        if items.get("NPR", 0) <= 0:
            items.pop("RMAX", None)
        for name in ("N", "NCONF", "NCONFAVE", "ISEED", *MODEL_ITEMS[code]):
            if name not in items:
                raise StudyError(f"defaults.{name}", f"missing (data set {k}, {origin})")
        try:
            data_sets.append(DataSetInput(**items))
        except ValueError as e:
            item = str(e).split(" ", 1)[0].rstrip(":")
            raise StudyError(f"{own_key if item in own else 'defaults'}.{item}",
                             f"data set {k} ({origin}): {e}") from None
    varying = [name for name in (*INTEGER_ITEMS, *REAL_ITEMS)
               if name != "N" and len({getattr(ds, name) for ds in data_sets}) > 1]
    return Study(os.fspath(path), code, output, data_sets, [c[1] for c in combos], varying, max_cycles)


@dataclass
class Rounds:
    """What the diagnosis rounds found: per data set, its rounds and its last diagnosis."""

    rounds: list[int] = field(default_factory=list)
    last: list[Optional[DataSetDiagnosis]] = field(default_factory=list)
    capped: set[int] = field(default_factory=set)
    history: list[list[dict[str, Any]]] = field(default_factory=list)


def refine(study: Study, inputs: list[DataSetInput], *, refine_rounds: bool, cpus: Optional[int]) -> tuple[
        list[DataSetInput], Rounds]:
    """Diagnoses the data sets, and with ``refine_rounds`` rediagnoses the unreliable ones
    with refined inputs until they hold or nothing more can be asked. Returns the final inputs."""
    inputs = list(inputs)
    state = Rounds(rounds=[0] * len(inputs), last=[None] * len(inputs), history=[[] for _ in inputs])
    # A data set that carries the seed of the one before needs it run before it.
    carried = any(ds.ISEED is None for ds in inputs)
    todo = list(range(len(inputs)))
    for round_number in range(1, MAX_ROUNDS + 1):
        chosen = list(range(len(inputs))) if carried else todo
        sys.stderr.write(f"{PROG}: round {round_number}: diagnosing {len(todo)} data set"
                         f"{'s' if len(todo) != 1 else ''}\n")
        d = diagnose(study.code, [inputs[i] for i in chosen], cpus=cpus)
        for pos, i in enumerate(chosen):
            if i in todo:
                ds = d.data_sets[pos]
                state.rounds[i] += 1
                state.last[i] = ds
                state.history[i].append({"round": round_number, "NCONF": inputs[i].NCONF,
                                         "NCONFAVE": inputs[i].NCONFAVE, "verdicts": ds.verdicts})
        if not refine_rounds:
            break
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always", RefinementCapped)
            refined = d.refined_inputs([inputs[i] for i in chosen], max_cycles=study.max_cycles)
        for pos in refined.capped:
            state.capped.add(chosen[pos - 1])
        for w in caught:  # numbered within this round's file: renumber as in the study
            text = re.sub(r"^data set (\d+)", lambda m: f"data set {chosen[int(m.group(1)) - 1] + 1}", str(w.message))
            sys.stderr.write(f"{PROG}: {text}\n")
        next_todo = []
        for pos, i in enumerate(chosen):
            if i in todo and refined[pos] != inputs[i]:
                inputs[i] = refined[pos]
                next_todo.append(i)
        todo = next_todo
        if not todo:
            break
    return inputs, state


def _estimate(e: Optional[Estimate], digits: int) -> str:
    if e is None or e.mean is None:
        return "-"
    error = "?" if e.error is None else f"{e.error:.{digits}f}"
    return f"{e.mean:.{digits}f} ± {error}"


def _item_text(value: "int | float | None") -> str:
    return "" if value is None else f"{value:g}" if isinstance(value, float) else str(value)


def _verdict_text(d: Optional[DataSetDiagnosis]) -> str:
    if d is None:
        return "not diagnosed"
    if d.reliable:
        return "reliable"
    return "; ".join(f"{PROPERTY_LABELS.get(k, k)}: {p.verdict}" for k, p in d.properties.items() if not p.reliable)


def summary_markdown(study: Study, inputs: Sequence[DataSetInput], result: Run, state: Rounds,
                     refined: bool, fits: Sequence[PowerLaw], limits: Sequence[LongChainLimit]) -> str:
    """summary.md: one row per data set, then what failed, the fits and the limits."""
    varying = [name for name in study.varying if name not in ("NCONF", "NCONFAVE") or not refined]
    if refined:
        varying += ["NCONF", "NCONFAVE"]
    head = ["data set", "N", *varying, "<r2>*", "<s2>*", "D*", "[eta]*", "verdicts"] + (["rounds"] if refined else [])
    lines = [f"# Study {os.path.basename(study.path)}", "",
             f"Model code {study.code}, output `{result.path}`, {len(inputs)} data sets, run {result.status}"
             + (f": {result.message}" if result.message else "") + ".", "",
             "| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for k, (ds_in, ds) in enumerate(zip(inputs, result.data_sets + [None] * len(inputs))):
        cells = [str(k + 1), str(ds_in.N)]
        cells += [_item_text(getattr(ds_in, n)) for n in varying]
        if ds is not None:
            cells += [_estimate(ds.r2, 3), _estimate(ds.s2, 3), _estimate(ds.D, 5), _estimate(ds.eta, 3)]
        else:
            cells += ["-"] * 4
        cells.append(_verdict_text(state.last[k]))
        if refined:
            cells.append(str(state.rounds[k]))
        lines.append("| " + " | ".join(cells) + " |")
    failing = [k for k, d in enumerate(state.last) if d is not None and not d.reliable]
    if refined:
        lines += ["", "## Refinement", ""]
        for k, history in enumerate(state.history):
            steps = ", ".join(f"round {h['round']}: NCONF = {h['NCONF']}, NCONFAVE = {h['NCONFAVE']}" for h in history)
            lines.append(f"- data set {k + 1}: {steps}" + (" (held back by max_cycles)" if k in state.capped else ""))
        lines.append("")
        lines.append("Still failing: " + (", ".join(f"data set {k + 1} ({_verdict_text(state.last[k])})"
                                                    for k in failing) if failing else "none") + ".")
    if fits or limits:
        lines += ["", "The fits below weight each data set by the larger of its printed error and the "
                  "autocorrelation error of its diagnosis."]
    if fits:
        lines += ["", "## Power laws A N^x", ""]
        lines += [f"- {PROPERTY_LABELS[f.property]}: x = {f.exponent:.4f} ± {f.exponent_error:.4f}, "
                  f"A = {f.prefactor:.4g}" + ("" if f.reduced_chi2 is None else f", chi2/dof = {f.reduced_chi2:.3g}")
                  for f in fits]
    lines += ["", "## Long-chain limits Q + b N^(-1/2)", ""]
    lines += ([f"- {limit_line(v).strip()}" for v in limits] if limits
              else ["None: they need three complete data sets of different N."])
    return "\n".join(lines) + "\n"


def _parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(prog=f"python3 -m {PROG}", description="Run a study described by a TOML file.")
    p.add_argument("study", metavar="STUDY.toml")
    p.add_argument("--refine", action="store_true", help="rediagnose unreliable data sets with refined inputs")
    p.add_argument("--ranks", type=int, metavar="P", help="run beadwalks-mpi on P ranks")
    p.add_argument("--cpus", type=int, metavar="C", help="keep the runs to C CPUs")
    return p


def run_study(study: Study, *, refine_rounds: bool, ranks: Optional[int], cpus: Optional[int]) -> int:
    """Diagnoses (and refines), runs, and writes the study folder; the exit status."""
    base = os.path.dirname(os.path.abspath(study.path))
    output = os.path.join(base, study.output)
    stem = os.path.splitext(os.path.basename(output))[0]
    folder = os.path.join(os.path.dirname(output), stem)
    inputs, state = refine(study, study.data_sets, refine_rounds=refine_rounds, cpus=cpus)
    try:
        result = run(study.code, inputs, output, cpus=cpus, ranks=ranks, progress=sys.stderr.isatty())
        status = 0
    except RunError as e:
        sys.stderr.write(f"{PROG}: the run stopped: {e.message}\n")
        if e.run is None:
            return EXIT_RUN_STOPPED
        result, status = e.run, EXIT_RUN_STOPPED
    os.makedirs(folder, exist_ok=True)
    # The fits and limits weight each data set by its honest error; the data
    # sets themselves are reported as printed.
    weighted = dataclasses.replace(result, data_sets=with_autocorrelation_errors(result.data_sets, state.last))
    fits = fit_power_laws(weighted.data_sets)
    limits = fitted_limits(weighted)
    document = run_dict(result, fits, limits)
    document["study"] = {"file": study.path, "refined": refine_rounds,
                         "data_sets": [{"index": k + 1, "origin": study.origins[k], "rounds": state.history[k],
                                        "capped": k in state.capped} for k in range(len(inputs))]}
    with open(os.path.join(folder, f"{stem}.json"), "w", encoding="utf-8") as f:
        json.dump(document, f, indent=2, allow_nan=False)
        f.write("\n")
    write_csv(os.path.join(folder, f"{stem}.csv"), result)
    write_plots(folder, weighted, fits, limits)
    text = summary_markdown(study, inputs, result, state, refine_rounds, fits, limits)
    with open(os.path.join(folder, "summary.md"), "w", encoding="utf-8") as f:
        f.write(text)
    say(text.rstrip("\n"))
    say(f"written: {folder}{os.sep} ({stem}.json, {stem}.csv, pictures, summary.md)")
    return status


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = _parser().parse_args(argv)
    try:
        study = load_study(args.study)
        for name in ("ranks", "cpus"):
            value = getattr(args, name)
            if value is not None and value < 1:
                raise StudyError(f"--{name}", f"{value}: must be a positive integer")
        return run_study(study, refine_rounds=args.refine, ranks=args.ranks, cpus=args.cpus)
    except StudyError as e:
        sys.stderr.write(f"{PROG}: {args.study}: {e}\n")
        return EXIT_BAD_STUDY
    except (FileNotFoundError, ValueError) as e:
        sys.stderr.write(f"{PROG}: {e}\n")
        return EXIT_BAD_STUDY
    except RunError as e:
        sys.stderr.write(f"{PROG}: {e}\n")
        return EXIT_RUN_STOPPED
    except OSError as e:
        sys.stderr.write(f"{PROG}: {e.strerror or e}{': ' + str(e.filename) if e.filename else ''}\n")
        return EXIT_BAD_STUDY


if __name__ == "__main__":
    sys.exit(main())
