"""Command line: the results of an output file as a summary, JSON, CSV and PNG.

    python3 -m beadwalks.results OUTPUT_FILE [--json FILE] [--csv FILE] [--plot DIR]

Prints one line per data set, the power-law fits and the long-chain limits.
``--plot DIR`` writes ``<name>-pr-<k>.png`` for every data set k with P(r),
``<name>-scaling.png`` when fits exist and ``<name>-limits.png`` when limits
exist, where <name> is the output file's name without its extension. A closed
standard output (``| head``) ends the printing quietly. Exit status 0, or 2 with a one-line message on standard error when
a file cannot be read or written or is not an output file of the program.
"""

from __future__ import annotations

import argparse
import csv
import json
import math
import os
import sys
import warnings
from typing import Optional, Sequence

from beadwalks.console import say
from beadwalks.export import csv_columns, data_set_rows, run_dict
from beadwalks.fits import PowerLaw, fit_power_laws
from beadwalks.limits import LIMIT_LABELS, LongChainLimit, fitted_limits
from beadwalks.model import PROPERTY_LABELS, DataSet, Estimate, Run
from beadwalks.ratios import derived_ratios
from beadwalks.reader import OutputFormatError, read_output

PROG = "beadwalks.results"
EXIT_BAD_INPUT = 2


class _Parser(argparse.ArgumentParser):
    def error(self, message: str) -> None:  # one line, not the usage block
        sys.stderr.write(f"{PROG}: {message} (see --help)\n")
        sys.exit(EXIT_BAD_INPUT)


def _parser() -> argparse.ArgumentParser:
    p = _Parser(prog=f"python3 -m {PROG}",
                description="Summary, JSON, CSV and pictures of an output file of BEADWALKS.",
                epilog="--plot writes DIR/<name>-pr-<k>.png for every data set k with P(r) and "
                       "DIR/<name>-scaling.png when power laws could be fitted and DIR/<name>-limits.png when "
                       "long-chain limits could be (<name>: OUTPUT_FILE "
                       "without its extension). Exit status 2 when a file cannot be read or written "
                       "or is not an output file of BEADWALKS.")
    p.add_argument("output_file", metavar="OUTPUT_FILE", help="an output file written by build/beadwalks")
    p.add_argument("--json", metavar="FILE", help="write the run, its derived ratios and fits as JSON")
    p.add_argument("--csv", metavar="FILE", help="write one row of scalars per data set as CSV")
    p.add_argument("--plot", metavar="DIR", help="write PNG pictures of P(r*) and of the fits into DIR")
    return p


def _value(e: Optional[Estimate], digits: int) -> str:
    if e is None:
        return "-"

    def one(x: Optional[float]) -> str:
        if x is None:
            return "****"
        return f"{x:.{digits}f}" if math.isfinite(x) else str(x)
    return f"{one(e.mean)} +- {one(e.error)}"


def _ratio(e: Optional[Estimate], fmt: str) -> str:
    if e is None or e.mean is None:
        return "-"
    error = "?" if e.error is None else format(e.error, fmt)
    return f"{format(e.mean, fmt)} +- {error}"


def data_set_line(ds: DataSet) -> str:
    """One line: index, status, N, the four properties and, when complete, the ratios."""
    parts = [f"{ds.index:3d}", f"{ds.status:10s}", f"N={ds.N if ds.N is not None else '?':>4}"]
    if ds.status == "stopped":
        return "  ".join(parts + [f"message: {ds.message}"])
    for name, digits in (("r2", 3), ("s2", 3), ("D", 5), ("eta", 3)):
        e = getattr(ds, name)
        if e is not None:
            parts.append(f"{PROPERTY_LABELS[name]}={_value(e, digits)}")
    if ds.pr:
        parts.append(f"P(r): {len(ds.pr)} intervals")
    if ds.complete:
        ratios = derived_ratios(ds)
        parts.append(f"Rg*={_ratio(ratios['Rg'], '.3f')}")
        if ratios["rho"] is not None:
            parts.append(f"rho={_ratio(ratios['rho'], '.3f')}")
            parts.append(f"Phi={_ratio(ratios['Phi'], '.3e')}")
            parts.append(f"P={_ratio(ratios['P'], '.3f')}")
    return "  ".join(parts)


def fit_line(fit: PowerLaw) -> str:
    chi2 = "" if fit.reduced_chi2 is None else f", chi2/dof = {fit.reduced_chi2:.3g}"
    return (f"  {PROPERTY_LABELS[fit.property]:7s} = {fit.prefactor:.4g} N^x,  x = {fit.exponent:.4f} "
            f"+- {fit.exponent_error:.4f}  ({fit.n_points} data sets{chi2})")


def limit_line(limit: LongChainLimit) -> str:
    """One long-chain limit: value, error, slope and the scatter about the line."""
    fmt = ".4e" if limit.property == "Phi" else ".5g"
    chi2 = "" if limit.reduced_chi2 is None else f", chi2/dof = {limit.reduced_chi2:.3g}"
    return (f"  {LIMIT_LABELS[limit.property]:11s} -> {format(limit.limit, fmt)} +- "
            f"{format(limit.limit_error, fmt)}  (slope {format(limit.slope, fmt)}; "
            f"{limit.n_points} data sets{chi2})")


def _mixed_parameters(run: Run) -> bool:
    complete = run.complete_data_sets()
    return len({tuple(sorted(ds.parameters.items())) for ds in complete}) > 1


def summary(run: Run, fits: Sequence[PowerLaw], limits: Optional[Sequence[LongChainLimit]] = None) -> str:
    """The readable summary: the run, one line per data set, the fits, then the long-chain limits."""
    model = f"model code {run.model_code}" + (f" ({run.model_name})" if run.model_name else "")
    head = (f"{run.path}: {model}, input file {run.input_file or '?'}; run {run.status}"
            + (f": {run.message}" if run.status == "stopped" else "")
            + f"; {len(run.data_sets)} data set{'s' if len(run.data_sets) != 1 else ''}")
    lines = [head]
    lines += [data_set_line(ds) for ds in run.data_sets]
    if fits:
        lines.append("Power laws property = A N^x (weighted least squares in log-log):")
        lines += [fit_line(f) for f in fits]
        if _mixed_parameters(run):
            lines.append("  note: the fitted data sets differ in their model parameters")
    else:
        lines.append("No power-law fits (they need three complete data sets with different N).")
    if limits is None:
        limits = fitted_limits(run)
    if limits:
        lines.append("Long-chain limits Q(N) = Q + b N^(-1/2) (weighted straight line, N -> infinity):")
        lines += [limit_line(v) for v in limits]
    return "\n".join(lines)


def write_json(path: str, run: Run, fits: Sequence[PowerLaw],
               limits: Optional[Sequence[LongChainLimit]] = None) -> None:
    with open(path, "w", encoding="utf-8") as f:
        json.dump(run_dict(run, fits, limits), f, indent=2, allow_nan=False)
        f.write("\n")


def write_csv(path: str, run: Run) -> None:
    with open(path, "w", encoding="utf-8", newline="") as f:
        writer = csv.DictWriter(f, fieldnames=csv_columns(run))
        writer.writeheader()
        writer.writerows(data_set_rows(run))


def picture_stem(run: Run) -> str:
    return os.path.splitext(os.path.basename(run.path))[0]


def write_plots(directory: str, run: Run, fits: Sequence[PowerLaw],
                limits: Optional[Sequence[LongChainLimit]] = None) -> list[str]:
    """Writes the P(r*) pictures, the scaling picture and the limits picture; returns their paths."""
    from beadwalks import plots  # Matplotlib only when pictures are asked for

    os.makedirs(directory, exist_ok=True)
    stem = picture_stem(run)
    written = []
    for ds in run.data_sets:
        if any(row.r is not None and row.P is not None for row in ds.pr):
            path = os.path.join(directory, f"{stem}-pr-{ds.index}.png")
            plots.save(plots.pr_figure(run, ds), path)
            written.append(path)
    if fits:
        path = os.path.join(directory, f"{stem}-scaling.png")
        plots.save(plots.scaling_figure(run, fits), path)
        written.append(path)
    if limits is None:
        limits = fitted_limits(run)
    if limits:
        path = os.path.join(directory, f"{stem}-limits.png")
        plots.save(plots.limits_figure(run, limits), path)
        written.append(path)
    return written


def write_first_pr_picture(run: Run, path: str) -> Optional[DataSet]:
    """Writes the P(r*) picture of the run's first data set with P(r) to ``path``; that data set, or None."""
    from beadwalks import plots

    for ds in run.data_sets:
        if any(row.r is not None and row.P is not None for row in ds.pr):
            plots.save(plots.pr_figure(run, ds), path)
            return ds
    return None


def _read(path: str) -> Run:
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        run = read_output(path)
    for w in caught:
        sys.stderr.write(f"{PROG}: warning: {w.message}\n")
    return run


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = _parser().parse_args(argv)
    try:
        run = _read(args.output_file)
        fits = fit_power_laws(run.data_sets)
        limits = fitted_limits(run)
        say(summary(run, fits, limits))
        if args.json:
            write_json(args.json, run, fits, limits)
            say(f"JSON: {args.json}")
        if args.csv:
            write_csv(args.csv, run)
            say(f"CSV: {args.csv}")
        if args.plot:
            for path in write_plots(args.plot, run, fits, limits):
                say(f"picture: {path}")
    except OutputFormatError as e:
        sys.stderr.write(f"{PROG}: {e}\n")
        return EXIT_BAD_INPUT
    except OSError as e:
        name = e.filename if e.filename is not None else ""
        sys.stderr.write(f"{PROG}: {e.strerror or e}{': ' + str(name) if name else ''}\n")
        return EXIT_BAD_INPUT
    return 0


if __name__ == "__main__":
    sys.exit(main())
