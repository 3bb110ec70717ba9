#!/usr/bin/env bash
# Installs what is missing, builds, and runs build/beadwalks on a bundled
# example data file, answering the dialogue on standard input: model code,
# input file, output file (in build/) and an empty line for the pause. Then
# shows the output file.
#   bash tools/run-example.sh                      # model code 1, examples/rl_chain.dat
#   bash tools/run-example.sh 2 examples/gs_chain.dat
set -euo pipefail
cd "$(dirname "$0")/.."

code="${1:-1}"
data="${2:-examples/rl_chain.dat}"
out="build/$(basename "${data%.*}").out"

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target beadwalks >/dev/null

status=0
printf '%s\n%s\n%s\n\n' "$code" "$data" "$out" | build/beadwalks || status=$?
echo
echo "==== exit status $status; output file $out ===="
[ -f "$out" ] && cat "$out"
exit "$status"
