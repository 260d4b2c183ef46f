#!/usr/bin/env bash
# Installs, with apt-get, whatever of the build and test tools is missing.
# Sourced by tools/demo.sh and tools/test.sh; run as root on Debian 12.
set -euo pipefail

# fonts-freefont-otf holds the font Octave measures text with, without which
# no figure is drawn; gnuplot-nox draws them headless.
required_packages=(cmake g++ make binutils googletest libgtest-dev libbenchmark-dev octave liboctave-dev octave-parallel
                   fonts-freefont-otf gnuplot-nox)

missing_packages() {
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || echo "$package"
    done
}

install_missing() {
    local missing
    missing=$(missing_packages "$@")
    if [ -n "$missing" ]; then
        echo "Installing: $missing"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        # shellcheck disable=SC2086
        apt-get install -y -qq --no-install-recommends $missing >/dev/null
    fi
}

install_missing "${required_packages[@]}"

# clang and its libFuzzer runtime, only where fuzzing runs (fuzz/run.sh).
if [ "${MEX_FUZZ_TOOLS:-0}" = 1 ]; then
    install_missing clang-14 libclang-rt-14-dev
fi
