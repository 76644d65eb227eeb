#!/usr/bin/env bash
# Builds the test configuration under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every suite (the fuzz corpora are replayed as tests too); then builds the Windows library for
# 64 and 32 bits and runs the Windows suite under wine against the Linux simulators.
set -euo pipefail
cd "$(dirname "$0")/.."
# A compiler cache, where the machine has one, makes the second run of the same tree quick.
if command -v ccache >/dev/null 2>&1 && [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ]; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
  export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
fi
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)" "$@"
bash scripts/setup.sh windows
bash scripts/test_windows.sh
