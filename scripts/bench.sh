#!/usr/bin/env bash
# Builds the release preset and runs every benchmark in one go, writing bench/REPORT.md: the
# machine, the date, serial latency against wire time, whole simulated sales (ours and with a
# one-second reader), CPU during a 20-second wait, our gateway client against curl, CLI
# start-up time and the peak memory of a demo sale.
#   bash scripts/bench.sh [sales per model]
set -euo pipefail
cd "$(dirname "$0")/.."
sales="${1:-3}"
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target tovalix_cli bench_serial bench_sales \
  bench_gateway >/dev/null
bin=build/release/bin
[ -x "$bin/tovalix" ] || bin=build/release
find_exe() { find build/release -type f -name "$1" -perm -u+x | head -n 1; }
serial_exe=$(find_exe bench_serial)
sales_exe=$(find_exe bench_sales)
gateway_exe=$(find_exe bench_gateway)
cli_exe=$(find_exe tovalix)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "bench: serial link (about 25 s)" >&2
"$serial_exe" >"$work/serial.txt"
summary=$(grep '^serial:' "$work/serial.txt")
value() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p" <<<"$summary"; }
wire_line=$(grep '^answer frame:' "$work/serial.txt")

echo "bench: gateway client against curl" >&2
"$gateway_exe" >"$work/gateway.md"

echo "bench: whole sales, $sales per model, then one with the one-second reader" >&2
sales_status=0
"$sales_exe" "$sales" >"$work/sales.md" || sales_status=$?

echo "bench: CLI start-up and demo memory" >&2
startup=()
for _ in $(seq 20); do
  begin=$(date +%s%N)
  "$cli_exe" --version >/dev/null
  end=$(date +%s%N)
  startup+=($(((end - begin) / 1000)))
done
startup_median=$(printf '%s\n' "${startup[@]}" | sort -n | sed -n '10p')
if [ -x /usr/bin/time ]; then
  (cd "$work" && /usr/bin/time -v "$OLDPWD/$cli_exe" demo >demo.out 2>time.txt) || true
  peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p' "$work/time.txt")
  demo_status=$(sed -n 's/.*Exit status: \([0-9]*\).*/\1/p' "$work/time.txt")
  memory_how="GNU time -v, maximum resident set size"
else
  peak_kb="?"; demo_status="?"; memory_how="not measured: GNU time missing"
fi

cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
memory=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
{
  echo "# Benchmark report"
  echo
  echo "Written by \`bash scripts/bench.sh\` from the \`release\` preset; every figure below comes"
  echo "from the one run on the one machine."
  echo
  echo "| | |"
  echo "|---|---|"
  echo "| date | $(date -u '+%Y-%m-%d %H:%M UTC') |"
  echo "| CPU | $cpu_model |"
  echo "| cores (nproc) | $(nproc) |"
  echo "| memory | $memory |"
  echo "| kernel | $(uname -sr) |"
  echo "| load at start | $(cut -d' ' -f1-3 /proc/loadavg) |"
  echo
  echo "## Serial exchange"
  echo
  echo "bench_serial: 200 EnviaRecibe exchanges over a pty, the simulated PIN pad pacing its"
  echo "answer at 19200 baud. Latency runs from the PIN pad's last byte to EnviaRecibe returning."
  echo
  echo "| figure | value |"
  echo "|---|---|"
  echo "| answer frame on the wire | ${wire_line#answer frame: } |"
  echo "| latency, median | $(value median_ms) ms |"
  echo "| latency, p99 | $(value p99_ms) ms |"
  echo "| whole exchange / wire time of the answer, median | $(value ratio) |"
  echo "| CPU during a 20-second wait with no answer | $(value wait_cpu_pct) % of one core |"
  echo
  echo '```'
  cat "$work/serial.txt"
  echo '```'
  echo
  echo "## Whole simulated sales"
  echo
  echo "bench_sales: approved chip sales on the system clock, the PIN pad simulator pacing every"
  echo "byte it sends at 19200 baud, the gateway simulator on 127.0.0.1. The floor is the wire"
  echo "time of every byte the PIN pad sends (the host's writes cross a pty at once, so their wire"
  echo "time is shown apart), the pauses the flow asked its clock for (these include the"
  echo "one-second pause of each Optimum command) and the gateway's round trip through the same"
  echo "client. The last two columns run the same sale through a relay that hands the PIN pad's"
  echo "bytes over once a second, as the original one-second reader timer collected them."
  echo
  cat "$work/sales.md"
  [ "$sales_status" = 0 ] || echo "(bench_sales exited with $sales_status)"
  echo
  echo "## Gateway request"
  echo
  cat "$work/gateway.md"
  echo
  echo "## Command line"
  echo
  echo "| figure | value |"
  echo "|---|---|"
  echo "| \`tovalix --version\`, median of 20 starts | $((startup_median / 1000)).$(printf '%03d' $((startup_median % 1000))) ms |"
  echo "| \`tovalix demo\`, peak memory ($memory_how) | $peak_kb KiB (exit status $demo_status) |"
} >bench/REPORT.md
# The long hardening runs keep their own parts; put them back after today's figures.
bash scripts/hardening.sh splice
echo "bench: wrote bench/REPORT.md" >&2
