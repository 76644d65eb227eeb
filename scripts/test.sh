#!/usr/bin/env bash
# Builds the test configuration under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every suite (the fuzz corpora are replayed as tests too); then builds the Windows library for
# 64 and 32 bits and runs the Windows suite under wine against the Linux simulators.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)" "$@"
bash scripts/setup.sh windows
bash scripts/test_windows.sh
