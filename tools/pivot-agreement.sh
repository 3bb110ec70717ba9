#!/usr/bin/env bash
# The long check that pivot moves sample the model's distribution, outside
# the test suite (tests/diagnose/pivot_distribution_test.cpp is its short
# version). Every data set is run twice by beadwalks-diagnose, with local
# moves and with pivots, with hydrodynamics, and the diagnosis gives each
# average with its error from the autocorrelation (err(acf)):
#   - the ideal spring chain (code 2, EPS = 0, HOOK = 3): <r2>* = 3 (N - 1) / HOOK
#     and <s2>* = (N^2 - 1) / (2 N HOOK) exactly, each side within 3 errors;
#   - hard spheres (code 1, DHS = 0.8, DELTAPHI = 2), Lennard-Jones (code 2,
#     EPS = 1, SIG = 1) and soft repulsion (code 3, A = 10, ALPHA = 2,
#     HOOK = 100): <r2>*, <s2>*, D* and [eta]* of the two sides within 3
#     combined errors.
# About 10 minutes on one CPU at the defaults.
#   bash tools/pivot-agreement.sh
#   PIVOT_N=20 PIVOT_SCALE=0.1 bash tools/pivot-agreement.sh     # a quick rehearsal
set -euo pipefail
cd "$(dirname "$0")/.."

N="${PIVOT_N:-30}"
scale="${PIVOT_SCALE:-1}"
cycles() { /usr/bin/python3 -c "print(max(5000, int($1 * $scale)) // 5000 * 5000)"; }

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target beadwalks-diagnose >/dev/null
work="build/pivot-agreement"
mkdir -p "$work"
cp build/beadwalks-diagnose "$work/beadwalks-diagnose"

# name code local-cycles pivot-cycles model-items (reading order)
cases=(
  "ideal 2 $(cycles 2000000) $(cycles 400000) 0.0,1.0,2.5,3.0,1.0"
  "hard-spheres 1 $(cycles 2000000) $(cycles 400000) 0.8,2.0"
  "lennard-jones 2 $(cycles 2000000) $(cycles 400000) 1.0,1.0,2.5,3.0,1.0"
  "soft-repulsion 3 $(cycles 8000000) $(cycles 400000) 10.0,2.0,2.5,100.0,0.2"
)
status=0
for c in "${cases[@]}"; do
    read -r name code local_cycles pivot_cycles items <<<"$c"
    for moves in local pivot; do
        n=$local_cycles
        [ "$moves" = pivot ] && n=$pivot_cycles
        {
            printf '%s\n%s\n5000\n%s\n1\n0\n' "$N" "$n" "$((1000 + ${#moves} * 17 + code))"
            tr ',' '\n' <<<"$items"
            printf -- '-1\n'
        } > "$work/$name-$moves.dat"
        start=$(date +%s)
        "$work/beadwalks-diagnose" "$code" "$work/$name-$moves.dat" --moves "$moves" \
            --json "$work/$name-$moves.json" > "$work/$name-$moves.txt" 2>/dev/null
        echo "pivot-agreement: $name, $moves moves, $n cycles: $(( $(date +%s) - start )) s"
    done
    /usr/bin/python3 - "$work/$name-local.json" "$work/$name-pivot.json" "$name" "$N" <<'PY' || status=1
import json, math, sys
local, pivot, name, N = json.load(open(sys.argv[1])), json.load(open(sys.argv[2])), sys.argv[3], int(sys.argv[4])
props = lambda doc: doc["data_sets"][0]["properties"]
fail = False
exact = {"r2": 3 * (N - 1) / 3.0, "s2": (N * N - 1) / (2 * N * 3.0)} if name == "ideal" else {}
for p in ("r2", "s2", "D", "eta"):
    l, q = props(local)[p], props(pivot)[p]
    d = q["mean"] - l["mean"]
    e = math.hypot(q["error_autocorr"], l["error_autocorr"])
    ok = abs(d) <= 3 * e
    line = (f"  {name:15s} {p:4s} local {l['mean']:.5g} +- {l['error_autocorr']:.2g}"
            f"  pivot {q['mean']:.5g} +- {q['error_autocorr']:.2g}  difference {d / e:+.2f} errors")
    if p in exact:
        for side, v in (("local", l), ("pivot", q)):
            z = (v["mean"] - exact[p]) / v["error_autocorr"]
            ok = ok and abs(z) <= 3
            line += f"  {side} - exact {z:+.2f}"
    print(line + ("" if ok else "  FAIL"))
    fail = fail or not ok
sys.exit(1 if fail else 0)
PY
done
if [ "$status" -eq 0 ]; then echo "pivot-agreement: PASS"; else echo "pivot-agreement: FAIL" >&2; fi
exit "$status"
