#!/usr/bin/env bash
# Installs what is missing, builds, and runs build/beadwalks on a bundled
# example data file, answering the dialogue on standard input: model code,
# input file, output file (in build/) and an empty line for the pause. Then
# shows the output file, its summary by the Python tool beadwalks.results and
# writes the P(r) picture of the example as build/<name>.png.
#   bash tools/run-example.sh                      # model code 1, examples/rl_chain.dat
#   bash tools/run-example.sh 2 examples/gs_chain.dat
set -euo pipefail
cd "$(dirname "$0")/.."

code="${1:-1}"
data="${2:-examples/rl_chain.dat}"
name="$(basename "${data%.*}")"
out="build/$name.out"
picture="build/$name.png"

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target beadwalks >/dev/null

status=0
printf '%s\n%s\n%s\n\n' "$code" "$data" "$out" | build/beadwalks || status=$?
echo
echo "==== exit status $status; output file $out ===="
[ -f "$out" ] || exit "$status"
cat "$out"

echo
echo "==== summary: PYTHONPATH=python /usr/bin/python3 -m beadwalks.results $out ===="
export PYTHONPATH=python
/usr/bin/python3 -m beadwalks.results "$out" || status=$?
/usr/bin/python3 -c '
import sys
from beadwalks import read_output
from beadwalks.results import write_first_pr_picture
ds = write_first_pr_picture(read_output(sys.argv[1]), sys.argv[2])
print(f"P(r) picture of data set {ds.index}: {sys.argv[2]}" if ds else "no P(r) in this run: no picture")
' "$out" "$picture" || status=$?
exit "$status"
