#!/usr/bin/env bash
# Installs, as root on Debian, the packages the build and the tests need,
# only those that are missing. Says nothing when all are present.
set -euo pipefail

packages=(cmake g++ make libgtest-dev libgmock-dev liblapack-dev libblas-dev libopenblas-dev
          libbenchmark-dev clang libclang-rt-14-dev openmpi-bin libopenmpi-dev
          python3-numpy python3-matplotlib python3-pytest python3-venv)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run this script as root" >&2
    exit 1
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
