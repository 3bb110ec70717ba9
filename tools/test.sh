#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a normal build in
# build/ (on the system's LAPACK, then on the reference LAPACK), one with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/, and the
# concurrency tests with ThreadSanitizer in build-tsan/; last, runs the fuzz
# targets for about a minute (tools/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
(cd build && ctest --output-on-failure -j2)

# The build links the system's liblapack.so.3 and libblas.so.3, which Debian
# points at OpenBLAS once it is installed; run the same tests once more on the
# reference LAPACK and BLAS, so that results hold whichever the system provides.
ref="/usr/lib/$(gcc -print-multiarch)"
(cd build && LD_LIBRARY_PATH="$ref/lapack:$ref/blas" ctest --output-on-failure -j2)

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBEADWALKS_SANITIZE=ON
cmake --build build-asan -j2
(cd build-asan && ctest --output-on-failure -j2)

# ThreadSanitizer on the tests of the worker pool, of the shared CPUs and of
# the data sets in flight and of the states taken from them while they run
# (in the process and through the executable, whose
# standard error must stay that of the run pinned to one CPU).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBEADWALKS_TSAN=ON -DBEADWALKS_MPI=OFF
cmake --build build-tsan -j2 --target averaging_tests test_in_flight test_parallel_runs
export TSAN_OPTIONS=halt_on_error=1
build-tsan/tests/averaging/averaging_tests --gtest_filter='ConcurrentHydro*:DataSetRun*:HydroPool*:DataSetState*'
build-tsan/tests/driver/test_in_flight
build-tsan/tests/driver/test_parallel_runs --gtest_filter='*every_cpu*'
unset TSAN_OPTIONS

bash tools/fuzz.sh
