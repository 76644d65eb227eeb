#!/usr/bin/env bash
# The serial exchange figures of the Windows build under wine, side by side with the Linux
# build in the same run: each host (bench_exchange_host, Linux and win64) exchanges with the
# same PIN pad peer on a pty (bench_serial_peer, Linux), the Windows one through wine's COM5.
# Writes the section "Serial exchange under wine" of bench/REPORT.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
exchanges=${EXCHANGES:-200}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target bench_serial_peer bench_exchange_host
cmake --preset win64 -DTOVALIX_BUILD_BENCH=ON >/dev/null
cmake --build --preset win64 -j "$(nproc)" --target bench_exchange_host

work=$root/build/win64/wine-bench
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
rm -rf "$work"
mkdir -p "$work" "$WINEPREFIX"
peer_pid=""
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a peer (not in a subshell, so that its pid is kept): its first line is the pty, left
# in $pty; the "peer:" line comes after the last answer.
start_peer() {
  build/release/bin/bench_serial_peer "$exchanges" >"$work/peer.out" &
  peer_pid=$!
  for _ in $(seq 100); do [ -s "$work/peer.out" ] && break; sleep 0.1; done
  pty=$(head -n 1 "$work/peer.out")
}
peer_result() {
  for _ in $(seq 300); do grep -q '^peer:' "$work/peer.out" && break; sleep 0.1; done
  grep '^peer:' "$work/peer.out"
  kill "$peer_pid"
  wait "$peer_pid" 2>/dev/null || true
  peer_pid=""
}

start_peer
linux_host=$(build/release/bin/bench_exchange_host "$pty" "$exchanges")
linux_peer=$(peer_result)

"$wineserver" -f -p &
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true
start_peer
"$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$pty" /f >/dev/null 2>&1
"$wineserver" -k 2>/dev/null || true
"$wineserver" -w 2>/dev/null || true
"$wineserver" -f -p &
"$wine" cmd /c exit 0 >/dev/null 2>&1 || true
wine_host=$("$wine" build/win64/bin/bench_exchange_host.exe COM5 "$exchanges" | tr -d '\r')
wine_peer=$(peer_result)

field() { sed -n "s/.*$2=\([0-9.]*\).*/\1/p" <<<"$1"; }
section=$(cat <<MD
## Serial exchange under wine

scripts/bench_windows.sh, $(date -u '+%Y-%m-%d %H:%M UTC'): the same $exchanges exchanges of a
108-byte answer paced at 19200 baud (56.25 ms on the wire) with one PIN pad peer on a pty, from
the Linux build and from the 64-bit Windows build under wine (through wine's COM5). Latency runs
from the peer's last byte to the host's ACK, in the peer's clock.

| figure | Linux | Windows under wine |
|---|---|---|
| latency, median | $(field "$linux_peer" median_ms) ms | $(field "$wine_peer" median_ms) ms |
| latency, p99 | $(field "$linux_peer" p99_ms) ms | $(field "$wine_peer" p99_ms) ms |
| whole exchange / wire time, median | $(field "$linux_host" ratio) | $(field "$wine_host" ratio) |
| CPU during a 20-second wait with no answer | $(field "$linux_host" wait_cpu_pct) % | $(field "$wine_host" wait_cpu_pct) % |

\`\`\`
linux: $linux_host
linux: $linux_peer
wine:  $wine_host
wine:  $wine_peer
\`\`\`
MD
)
python3 - "$section" <<'PY'
import re, sys
path = "bench/REPORT.md"
text = open(path).read()
section = sys.argv[1].rstrip() + "\n"
pattern = re.compile(r"## Serial exchange under wine\n.*?(?=\n## |\Z)", re.S)
text = pattern.sub(lambda _: section, text) if pattern.search(text) else text.rstrip() + "\n\n" + section
open(path, "w").write(text)
PY
echo "$section"
