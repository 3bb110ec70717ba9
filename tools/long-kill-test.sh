#!/usr/bin/env bash
# Kills a real study many times at random instants and resumes it each time
# with the same answers, alternating one CPU and all, until it ends; then
# compares its output file with that of a run never stopped, byte for byte.
# The study: 24 data sets of 20 to 100 beads, all three kinds of work (long
# chains without hydrodynamics, hydrodynamics with P(r), carried seeds).
# About 5 to 15 minutes on 2 CPUs.
#   bash tools/long-kill-test.sh
#   LONG_KILLS=5 bash tools/long-kill-test.sh     # a quick rehearsal
set -euo pipefail
cd "$(dirname "$0")/.."

kills="${LONG_KILLS:-40}"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target beadwalks >/dev/null

work="build/long-kill"
rm -rf "$work"
mkdir -p "$work"
# A copy under a name of its own: the kills find this run's process only.
cp build/beadwalks "$work/bw-long-kill"
data="$work/study.dat"
: > "$data"
for k in $(seq 0 23); do
    n=$(( 20 + (k * 37) % 81 ))
    seed=$(( 1000 + k )); [ $(( k % 5 )) -eq 4 ] && seed=","
    ihyd=$(( k % 3 == 0 ? 1 : 0 ))
    nconf=$(( ihyd == 1 ? 20000 : 200000 ))
    printf '%d\n%d\n%d\n%s\n%d\n10\n%d.0\n1.0\n2.0\n2.5\n3.0\n0.7\n' \
        "$n" "$nconf" $(( ihyd == 1 ? 200 : 2000 )) "$seed" "$ihyd" $(( n / 2 )) >> "$data"
done
echo "-1" >> "$data"
printf '3\nstudy.dat\nstudy.out\n\n' > "$work/answers"

cd "$work"
start=$(date +%s)
taskset -c 0 ./bw-long-kill < answers > /dev/null
mv study.out reference.out
echo "long-kill-test: the run never stopped took $(( $(date +%s) - start )) s"

done=0
starts=0
for k in $(seq 1 "$kills"); do
    starts=$(( starts + 1 ))
    launcher=""; [ $(( k % 2 )) -eq 0 ] && launcher="taskset -c 0"
    $launcher ./bw-long-kill < answers > console.txt 2> stderr.txt &
    pid=$!
    sleep "$(awk -v s="$RANDOM" 'BEGIN { srand(s); printf "%.2f", 0.3 + 6 * rand() }')"
    kill -KILL "$pid" 2>/dev/null || true
    status=0; wait "$pid" 2>/dev/null || status=$?
    if [ "$status" -ne 137 ]; then done=1; break; fi
done
if [ "$done" -eq 0 ]; then
    starts=$(( starts + 1 ))
    status=0; ./bw-long-kill < answers > console.txt 2> stderr.txt || status=$?
fi
echo "long-kill-test: $starts starts, the last ended with status $status"
if [ "$status" -ne 0 ] || [ -s stderr.txt ] || [ -e study.out.ckpt ]; then
    echo "long-kill-test: FAILED: status $status, stderr or a checkpoint left behind" >&2
    exit 1
fi
if cmp -s study.out reference.out; then
    echo "long-kill-test: the output file equals the one of the run never stopped"
else
    echo "long-kill-test: FAILED: the output file differs" >&2
    cmp study.out reference.out >&2 || true
    exit 1
fi
