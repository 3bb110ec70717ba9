"""PNG figures of a run: P(r*) of a data set, and the four properties against N.

Matplotlib's object API on the Agg canvas: nothing here needs a display.
"""

from __future__ import annotations

import math
from typing import Optional, Sequence

import numpy as np
from matplotlib.backends.backend_agg import FigureCanvasAgg
from matplotlib.figure import Figure
from matplotlib.ticker import FixedLocator, FuncFormatter, LogLocator, NullFormatter, NullLocator

from beadwalks.fits import PowerLaw
from beadwalks.limits import LongChainLimit
from beadwalks.model import PROPERTIES, DataSet, Run

#: Figure sizes in inches at DPI dots per inch.
DPI = 100
PR_SIZE = (8.0, 5.0)
SCALING_SIZE = (10.0, 8.0)

_SYMBOLS = {"r2": r"$\langle r^2\rangle^*$", "s2": r"$\langle s^2\rangle^*$", "D": r"$D^*$",
            "eta": r"$[\eta]^*$"}
_AXIS_LABELS = {"r2": _SYMBOLS["r2"] + ", mean square end-to-end distance",
                "s2": _SYMBOLS["s2"] + ", mean square radius of gyration",
                "D": _SYMBOLS["D"] + ", translational diffusion coefficient",
                "eta": _SYMBOLS["eta"] + ", intrinsic viscosity"}


def gaussian_fraction(r: "float | np.ndarray", r2: float, width: float) -> "float | np.ndarray":
    """Fraction of Gaussian chains with end-to-end distance in an interval of ``width`` at r.

    4 pi r^2 (3 / (2 pi <r2>*))^(3/2) exp(-3 r^2 / (2 <r2>*)) w: the density of
    the end-to-end vector of a Gaussian chain with the same <r2>*, times the
    volume of the spherical shell.
    """
    r = np.asarray(r, dtype=float)
    return 4.0 * math.pi * r ** 2 * (3.0 / (2.0 * math.pi * r2)) ** 1.5 * np.exp(-1.5 * r ** 2 / r2) * width


def interval_width(ds: DataSet) -> Optional[float]:
    """Width of the P(r) intervals: RMAX / NPR, or from the printed centres."""
    if ds.RMAX is not None and ds.NPR and ds.NPR > 0:
        return ds.RMAX / ds.NPR
    centres = [row.r for row in ds.pr if row.r is not None]
    if len(centres) >= 2:
        return (centres[-1] - centres[0]) / (len(centres) - 1)
    return 2.0 * centres[0] if centres else None


def _title(run: Run, ds: DataSet) -> str:
    model = f"model code {run.model_code}" + (f" ({run.model_name})" if run.model_name else "")
    return f"Data set {ds.index} of {run.output_file or run.path}: {model}, N = {ds.N}"


def pr_figure(run: Run, ds: DataSet) -> Figure:
    """The fraction of conformations per interval against r*, with the Gaussian-chain reference."""
    fig = Figure(figsize=PR_SIZE, dpi=DPI)
    FigureCanvasAgg(fig)
    ax = fig.add_subplot()
    rows = [row for row in ds.pr if row.r is not None and row.P is not None]
    w = interval_width(ds)
    r = np.array([row.r for row in rows])
    P = np.array([row.P for row in rows])
    # Five subsamples of NCONFAVE / 5 conformations each.
    sampled = 5 * (ds.NCONFAVE // 5) if ds.NCONFAVE else None
    label = f"simulation, {sampled} sampled conformations" if sampled else "simulation"
    if len(r):
        # One filled step curve for all intervals: a bar (or a patch) each
        # would be slow for a million intervals.
        half = (w if w else 0.0) / 2.0
        edges = np.append(r - half, r[-1] + half)
        heights = np.append(P, P[-1])
        ax.fill_between(edges, heights, step="post", color="tab:blue", alpha=0.6, lw=0, label=label)
        ax.step(edges, heights, where="post", color="tab:blue", lw=1)
    highest = float(P.max()) if len(P) else 0.0
    r2 = ds.r2.mean if ds.r2 is not None else None
    if w and r2 is not None and math.isfinite(r2) and r2 > 0.0:
        top = max(float(r.max()) + w / 2 if len(r) else 0.0, ds.RMAX or 0.0)
        fine = np.linspace(0.0, top, 400)
        reference = gaussian_fraction(fine, r2, w)
        highest = max(highest, float(reference.max()))
        ax.plot(fine, reference, color="tab:red", lw=2,
                label=rf"Gaussian chain, $\langle r^2\rangle^*$ = {r2:g}")
    ax.set_xlabel(r"$r^*$, end-to-end distance in bond lengths")
    ax.set_ylabel(rf"$P(r^*)$, fraction per interval ($\Delta r^*$ = {w:g})" if w else r"$P(r^*)$")
    ax.set_xlim(left=0.0)
    # Room above the highest bar for the legend.
    ax.set_ylim(0.0, 1.3 * highest if highest > 0.0 else 1.0)
    ax.set_title(_title(run, ds), fontsize=10)
    ax.legend()
    ax.grid(alpha=0.3)
    fig.tight_layout()
    return fig


def _points(data_sets: Sequence[DataSet], name: str) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    pts = [(ds.N, getattr(ds, name)) for ds in data_sets if ds.complete and ds.N]
    pts = [(n, e.mean, e.error or 0.0) for n, e in pts
           if e is not None and e.mean is not None and math.isfinite(e.mean) and e.mean > 0.0]
    return tuple(np.array(c, dtype=float) for c in zip(*pts)) if pts else (np.array([]),) * 3


def _log_axes(ax, N: np.ndarray) -> None:
    """Log-log axes with plain numbers: ticks at the chain lengths, 1-2-5 steps in y."""
    ax.set_xscale("log")
    ax.set_yscale("log")
    plain = FuncFormatter(lambda v, _: f"{v:g}")
    ax.xaxis.set_major_locator(FixedLocator(sorted(set(N.tolist()))))
    ax.xaxis.set_major_formatter(plain)
    ax.xaxis.set_minor_locator(NullLocator())
    ax.yaxis.set_major_locator(LogLocator(base=10.0, subs=(1.0, 2.0, 5.0)))
    ax.yaxis.set_major_formatter(plain)
    ax.yaxis.set_minor_formatter(NullFormatter())
    ax.grid(alpha=0.3, which="major")


def scaling_figure(run: Run, fits: Sequence[PowerLaw]) -> Figure:
    """One panel per property: the points against N in log-log, error bars, fitted line, exponent."""
    fig = Figure(figsize=SCALING_SIZE, dpi=DPI)
    FigureCanvasAgg(fig)
    axes = fig.subplots(2, 2)
    by_name = {f.property: f for f in fits}
    for ax, name in zip(axes.flat, PROPERTIES):
        N, mean, error = _points(run.data_sets, name)
        fit = by_name.get(name)
        if not len(N):
            ax.text(0.5, 0.5, f"no {_SYMBOLS[name]} in this run", ha="center", va="center",
                    transform=ax.transAxes)
            ax.set_axis_off()
            continue
        ax.errorbar(N, mean, yerr=error, fmt="o", color="black", ecolor="black", capsize=3,
                    label="data sets, mean ± error")
        if fit is not None:
            line = np.geomspace(N.min(), N.max(), 100)
            ax.plot(line, fit(line), color="tab:red",
                    label=f"fit A N^x: x = {fit.exponent:.3f} ± {fit.exponent_error:.3f}, A = {fit.prefactor:.3g}")
        _log_axes(ax, N)
        ax.set_xlabel("N, beads")
        ax.set_ylabel(_AXIS_LABELS[name])
        ax.legend(fontsize=9)
    model = f"model code {run.model_code}" + (f" ({run.model_name})" if run.model_name else "")
    fig.suptitle(f"Power laws in N: {run.output_file or run.path}, {model}", fontsize=11)
    fig.tight_layout()
    return fig


_LIMIT_AXES = {"rho": r"$\rho = R_g/R_h$", "Phi": r"$\Phi$, mol$^{-1}$", "P": r"$P$, friction factor",
               "r2_per_bond": r"$\langle r^2\rangle^*/(N-1)$", "s2_per_bond": r"$\langle s^2\rangle^*/(N-1)$"}


def limits_figure(run: Run, limits: Sequence[LongChainLimit]) -> Figure:
    """One panel per extrapolated quantity: the points against N^(-1/2), the line drawn to 0."""
    from beadwalks.limits import limit_points

    fig = Figure(figsize=SCALING_SIZE, dpi=DPI)
    FigureCanvasAgg(fig)
    columns = 2 if len(limits) <= 4 else 3
    rows = max(1, math.ceil(len(limits) / columns))
    axes = list(np.atleast_1d(fig.subplots(rows, columns)).flat)
    for ax, limit in zip(axes, limits):
        pts = [(ds.N, limit_points(ds)[limit.property]) for ds in run.data_sets if ds.complete and ds.N]
        pts = [(n ** -0.5, e.mean, e.error) for n, e in pts if e is not None and e.mean is not None]
        x, y, err = (np.array(c, dtype=float) for c in zip(*pts))
        ax.errorbar(x, y, yerr=err, fmt="o", color="black", ecolor="black", capsize=3, label="data sets, mean ± error")
        line = np.linspace(0.0, float(x.max()) * 1.05, 50)
        ax.plot(line, limit(line), color="tab:red",
                label=f"limit {limit.limit:.4g} ± {limit.limit_error:.2g}, slope {limit.slope:.3g}")
        ax.errorbar([0.0], [limit.limit], yerr=[limit.limit_error], fmt="s", color="tab:red", capsize=4)
        ax.set_xlim(left=-0.01)
        ax.set_xlabel(r"$N^{-1/2}$")
        ax.set_ylabel(_LIMIT_AXES[limit.property])
        ax.grid(alpha=0.3)
        ax.legend(fontsize=7, loc="best")
    for ax in axes[len(limits):]:
        ax.set_axis_off()
    model = f"model code {run.model_code}" + (f" ({run.model_name})" if run.model_name else "")
    fig.suptitle(f"Long-chain limits (N -> infinity at N^-1/2 = 0): {run.output_file or run.path}, {model}",
                 fontsize=11)
    fig.tight_layout()
    return fig


def save(fig: Figure, path: str) -> None:
    fig.savefig(path, dpi=DPI)
