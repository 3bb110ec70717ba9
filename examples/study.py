"""A study from Python: ideal spring chains of 10 to 60 beads, refined until the
error bars hold, and their ratios extrapolated to long chains.

    PYTHONPATH=python /usr/bin/python3 examples/study.py [OUTPUT_FOLDER]
"""

import sys

import beadwalks

folder = sys.argv[1] if len(sys.argv) > 1 else "."
code = 2  # Hookean springs; EPS = 0: no Lennard-Jones energy, <r2>* = N - 1 exactly
inputs = [beadwalks.DataSetInput(N=N, NCONF=200000, NCONFAVE=2000, ISEED=12345, IHYD=1, NPR=20, RMAX=30.0,
                                 EPS=0.0, SIG=1.0, RCUT=2.5, HOOK=3.0, AMPL=1.0) for N in (10, 20, 40, 60)]
for _ in range(4):  # diagnose, refine, until every verdict holds
    diagnosis = beadwalks.diagnose(code, inputs)
    if diagnosis.reliable:
        break
    inputs = diagnosis.refined_inputs(inputs, max_cycles=2000000)
run = beadwalks.run(code, inputs, f"{folder}/gs_series.out", progress=True)
for name, limit in beadwalks.long_chain_limits(run, diagnosis).items():
    print(name, "->", "too few chain lengths" if limit is None else f"{limit.limit:.4g} +- {limit.limit_error:.2g}")
