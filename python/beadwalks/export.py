"""A run as JSON-ready dictionaries and as flat rows (CSV, pandas).

Values that are missing (printed as asterisks, or not reached in the file)
and values that are not finite (printed as NaN or Inf) are ``None``, i.e.
``null`` in JSON and an empty cell in CSV: JSON has no infinities.
"""

from __future__ import annotations

import math
from typing import Any, Optional, Sequence

from beadwalks.fits import PowerLaw, fit_power_laws
from beadwalks.limits import LongChainLimit, fitted_limits
from beadwalks.model import GENERAL_ITEMS, MODEL_PARAMETERS, PROPERTIES, DataSet, Estimate, Run
from beadwalks.ratios import RATIOS, derived_ratios


def _number(value: Any) -> Any:
    if isinstance(value, float) and not math.isfinite(value):
        return None
    return value


def _estimate(e: Optional[Estimate]) -> Optional[dict[str, Any]]:
    return None if e is None else {"mean": _number(e.mean), "error": _number(e.error)}


def data_set_dict(ds: DataSet) -> dict[str, Any]:
    """One data set in the layout of the JSON file."""
    d: dict[str, Any] = {"index": ds.index, "status": ds.status, "message": ds.message}
    d.update({name: _number(getattr(ds, name)) for name in GENERAL_ITEMS})
    d["parameters"] = {name: _number(v) for name, v in ds.parameters.items()}
    d["rejected"] = ds.rejected
    d["rejected_percent"] = _number(ds.rejected_percent)
    for name in PROPERTIES:
        d[name] = _estimate(getattr(ds, name))
    d["pr"] = [{"r": _number(row.r), "P": _number(row.P)} for row in ds.pr]
    d["derived"] = ({k: _estimate(v) for k, v in derived_ratios(ds).items()} if ds.complete else None)
    return d


def fit_dict(fit: PowerLaw) -> dict[str, Any]:
    return {"property": fit.property, "exponent": fit.exponent, "exponent_error": fit.exponent_error,
            "prefactor": fit.prefactor, "n_points": fit.n_points, "reduced_chi2": fit.reduced_chi2,
            "exponent_error_unscaled": fit.exponent_error_unscaled}


def limit_dict(limit: LongChainLimit) -> dict[str, Any]:
    return {"property": limit.property, "limit": limit.limit, "limit_error": limit.limit_error,
            "slope": limit.slope, "reduced_chi2": limit.reduced_chi2, "n_points": limit.n_points,
            "slope_error": limit.slope_error, "limit_error_unscaled": limit.limit_error_unscaled}


def run_dict(run: Run, fits: Optional[Sequence[PowerLaw]] = None,
             limits: Optional[Sequence[LongChainLimit]] = None) -> dict[str, Any]:
    """The whole run in the layout of the JSON file; the fits and limits are made when not given."""
    if fits is None:
        fits = fit_power_laws(run.data_sets)
    if limits is None:
        limits = fitted_limits(run)
    return {
        "model_code": run.model_code,
        "input_file": run.input_file,
        "output_file": run.output_file,
        "data_sets": [data_set_dict(ds) for ds in run.data_sets],
        "fits": [fit_dict(f) for f in fits],
        "limits": [limit_dict(v) for v in limits],
    }


def csv_columns(run: Run) -> list[str]:
    """The columns of the flat rows: items, parameters of the model code, report, ratios."""
    parameters = list(MODEL_PARAMETERS.get(run.model_code, ()))
    for ds in run.data_sets:
        parameters += [p for p in ds.parameters if p not in parameters]
    columns = ["index", "status", "message", *GENERAL_ITEMS, *parameters, "rejected", "rejected_percent"]
    for name in (*PROPERTIES, *RATIOS):
        columns += [f"{name}_mean", f"{name}_error"]
    return columns


def data_set_rows(run: Run) -> list[dict[str, Any]]:
    """One flat row of scalars per data set (P(r) left out), keyed by :func:`csv_columns`."""
    rows = []
    for ds in run.data_sets:
        d = data_set_dict(ds)
        row = {k: d[k] for k in ("index", "status", "message", *GENERAL_ITEMS, "rejected", "rejected_percent")}
        row.update(d["parameters"])
        derived = d["derived"] or {}
        for name in (*PROPERTIES, *RATIOS):
            e = d[name] if name in PROPERTIES else derived.get(name)
            row[f"{name}_mean"] = None if e is None else e["mean"]
            row[f"{name}_error"] = None if e is None else e["error"]
        rows.append({c: row.get(c) for c in csv_columns(run)})
    return rows
