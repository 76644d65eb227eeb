#!/usr/bin/env bash
# Builds the test configuration under AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every suite (the fuzz corpora are replayed as tests too).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$(nproc)"
ctest --preset asan -j "$(nproc)" "$@"
