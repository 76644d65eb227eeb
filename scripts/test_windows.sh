#!/usr/bin/env bash
# Builds the Windows library for 64 and 32 bits with mingw-w64 and runs the 64-bit suite of the
# native backends under wine, against the Linux simulators: the iPP320 simulator's
# pseudo-terminal becomes wine's COM5 (HKLM\Software\Wine\Ports), the gateway simulator serves
# on 127.0.0.1. Needs the Linux build of tovalix-sim (TOVALIX_SIM, default build/asan).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sim=${TOVALIX_SIM:-$root/build/asan/bin/tovalix-sim}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)"
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j "$(nproc)"

work=$root/build/win64/wine-run
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
rm -rf "$work"
mkdir -p "$work" "$WINEPREFIX"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Each simulator prints what a host needs on its first line.
start() {
  local out=$work/$1.out
  "$sim" "${@:2}" >"$out" 2>"$work/$1.err" &
  pids+=($!)
  for _ in $(seq 100); do
    [ -s "$out" ] && { head -n 1 "$out"; return; }
    sleep 0.1
  done
  echo "test_windows: $1 simulator did not start" >&2
  cat "$work/$1.err" >&2
  return 1
}
gateway=$(start gateway gateway --port 0 | grep -o 'http://[^ ]*')
pty=$(start pinpad pinpad ipp320 --card chip)

# A persistent server for the whole run, a warm-up program to create the prefix, then the
# port mapping, which wine reads when its server starts again.
"$wineserver" -f -p &
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
"$wineserver" -f -p &
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true

printf '\\Device\\USBSER000\tCOM5\n' >"$work/devices.tsv"
export TOVALIX_GATEWAY_URL=$gateway
export TOVALIX_DEVICE_MAP='Z:'${work//\//\\}'\devices.tsv'
export TOVALIX_TEST_COM_PORT=COM5
export TOVALIX_LOG_DIR='Z:'${work//\//\\}
ctest --preset win64 "$@" 2>&1 | tr -d '\r'
exit "${PIPESTATUS[0]}"
