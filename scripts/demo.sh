#!/usr/bin/env bash
# Builds the optimised library and tools, then runs the demo on the built-in simulators.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)"
exec build/release/bin/tovalix demo "$@"
