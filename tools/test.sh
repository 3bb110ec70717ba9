#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: a normal build in
# build/ (on the system's LAPACK, then on the reference LAPACK) and one with
# AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/; last, runs the fuzz targets for about a minute (tools/fuzz.sh).
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

bash tools/fuzz.sh
