#!/usr/bin/env bash
# A long run outside the test suite: 100 beads of model code 1 with a
# hard-sphere diameter of 1.5, larger than the bond, so that every move is
# refused (a bonded neighbour always stands at distance 1). With NCONF =
# 30,000,000 cycles sampled 5 times (NCONFAVE = 5, one conformation per
# subsample, NFREQ = 6,000,000) the sampler attempts 5 * 6,000,000 * 100 =
# 3,000,000,000 moves, beyond the 32-bit range: the report must show exactly
# that many rejected moves and 100.00 percent. Takes 10 to 20 minutes.
#   bash tools/long-run.sh
#   LONG_RUN_NCONF=100000 bash tools/long-run.sh     # a quick rehearsal
set -euo pipefail
cd "$(dirname "$0")/.."

nconf="${LONG_RUN_NCONF:-30000000}"
beads=100
if (( nconf % 5 != 0 )); then
    echo "long-run: NCONF must be a multiple of 5" >&2
    exit 2
fi
expected=$(( nconf * beads ))

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target beadwalks >/dev/null

work="build/long-run"
mkdir -p "$work"
# A copy of its own, so that rebuilding build/ meanwhile leaves the run alone.
cp build/beadwalks "$work/beadwalks"
cat > "$work/long.dat" <<DATA
$beads          beads
$nconf          NCONF
5               NCONFAVE
4711            ISEED
0               IHYD
0               NPR
1.5             DHS: above the bond length, every move overlaps a neighbour
1.0             DELTAPHI
-1
DATA

start=$(date +%s)
status=0
printf '1\n%s\n%s\n\n' "$work/long.dat" "$work/long.out" | "$work/beadwalks" >"$work/console.txt" || status=$?
elapsed=$(( $(date +%s) - start ))

echo "long-run: NCONF=$nconf N=$beads, exit status $status, ${elapsed} s"
sed -n '/FINAL RESULTS/,$p' "$work/long.out"

want_count=$(printf ' Number of rejected conformations =%15d' "$expected")
want_percent=' Percent of rejected conformations=100.00'
if [ "$status" -eq 0 ] && grep -qxF "$want_count" "$work/long.out" && grep -qxF "$want_percent" "$work/long.out"; then
    echo "long-run: PASS ($expected rejected moves, 100.00 %)"
else
    echo "long-run: FAIL (expected \"$want_count\" and \"$want_percent\")" >&2
    exit 1
fi
