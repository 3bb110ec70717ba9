#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (coverage, AddressSanitizer,
# UndefinedBehaviorSanitizer) in build-fuzz/ and runs each for a bounded time
# on its checked-in seed corpus, about a minute in all. New inputs go to a
# scratch corpus in build-fuzz/, never into fuzz/corpus/. A finding stops the
# script with the fuzzer's report; its input is written to build-fuzz/findings/
# and belongs, once fixed, in fuzz/corpus/<target>/ and in a test.
#   bash tools/fuzz.sh            # 20 s per target
#   FUZZ_SECONDS=300 bash tools/fuzz.sh
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-20}"
targets=(readers data_set format)

cmake -S . -B build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEADWALKS_FUZZ=ON -DBEADWALKS_TESTS=OFF >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]/#/fuzz_}"

mkdir -p build-fuzz/findings
for t in "${targets[@]}"; do
    scratch="build-fuzz/corpus/$t"
    mkdir -p "$scratch"
    echo "fuzz: $t for ${seconds}s"
    if ! build-fuzz/fuzz/"fuzz_$t" -max_total_time="$seconds" -max_len=4096 -print_final_stats=0 \
            -artifact_prefix="build-fuzz/findings/$t-" "$scratch" "fuzz/corpus/$t" \
            >"build-fuzz/$t.log" 2>&1; then
        tail -n 40 "build-fuzz/$t.log"
        echo "fuzz: $t found a failure; its input is in build-fuzz/findings/" >&2
        exit 1
    fi
    grep -E '^Done [0-9]+ runs' "build-fuzz/$t.log" || true
done
