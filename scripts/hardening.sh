#!/usr/bin/env bash
# The long hardening runs, each writing its part of bench/REPORT.md (kept in bench/hardening/
# so that scripts/bench.sh can rewrite the benchmark figures without losing them):
#   bash scripts/hardening.sh soak [FAULTY_SALES_PER_MODEL] [SEED]   (default 1000)
#   bash scripts/hardening.sh kills [KILLS]                          (default 200)
#   bash scripts/hardening.sh valgrind                               (every test, the demo)
#   bash scripts/hardening.sh fuzz [MINUTES] [AT_ONCE] [WORK_DIR]    (default 30, 3)
#   bash scripts/hardening.sh fuzz-report WORK_DIR [MINUTES]         (a fuzz run's logs only)
#   bash scripts/hardening.sh splice             (puts the parts back after bench.sh's figures)
# Every step exits non-zero when it found a fault; its part of the report says so as well.
set -euo pipefail
cd "$(dirname "$0")/.."
parts=bench/hardening
mkdir -p "$parts"
now() { date -u '+%Y-%m-%d %H:%M UTC'; }
machine() { echo "$(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg) at the start"; }

# The driver fuzz targets: every parser of bytes from a PIN pad.
driver_targets=(fuzz_ingenico_obten_tracks fuzz_ingenico_tags_validos
  fuzz_ingenico_verifica_respuesta fuzz_ingenico_obten_cvv2 fuzz_vx810_obten_track
  fuzz_vx810_obten_tracks_banda fuzz_vx810_tags_validos fuzz_optimum_obten_track
  fuzz_optimum_tags_validos)

# Rebuilds bench/REPORT.md's tail from the parts, after the benchmark figures.
splice_report() {
  local report=bench/REPORT.md marker="## Long runs"
  [ -f "$report" ] || echo "# Benchmark report" >"$report"
  local head
  head=$(sed "/^$marker\$/,\$d" "$report")
  {
    printf '%s\n\n%s\n\n' "$head" "$marker"
    echo "Written by \`bash scripts/hardening.sh\`, one part a step; each part says when it ran."
    for part in soak kills valgrind fuzz; do
      [ -f "$parts/$part.md" ] && printf '\n' && cat "$parts/$part.md"
    done
  } >"$report.new"
  mv "$report.new" "$report"
}

step_soak() {
  local faulty="${1:-1000}" seed="${2:-12}" status=0 started
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target soak_sales tovalix_nurit293_sim >/dev/null
  started=$(now)
  local began=$SECONDS
  TOVALIX_BUILD_DIR=build/dev build/dev/bin/soak_sales --faulty "$faulty" --seed "$seed" \
    >"$parts/soak.out" || status=$?
  {
    echo "### Fault soak"
    echo
    echo "\`soak_sales --faulty $faulty --seed $seed\` (dev build), $started, $(machine),"
    echo "$(((SECONDS - began) / 60)) minutes; exit status $status. Every model sells until"
    echo "$faulty of its sales carried a fault that happened (one sale in twelve is left clean)."
    echo
    echo '```'
    grep -v '^$' "$parts/soak.out" | grep -v '^FAILURE' || true
    echo '```'
    if grep -q '^FAILURE' "$parts/soak.out"; then
      echo
      echo "Failures:"
      echo
      echo '```'
      grep '^FAILURE' "$parts/soak.out" | head -n 50
      echo '```'
    fi
  } >"$parts/soak.md"
  rm -f "$parts/soak.out"
  splice_report
  return "$status"
}

step_kills() {
  local kills="${1:-200}" status=0 started out
  cmake --preset dev >/dev/null
  cmake --build --preset dev --target test_settings_crash >/dev/null
  started=$(now)
  out=$(TOVALIX_CRASH_KILLS="$kills" build/dev/bin/test_settings_crash 2>&1) || status=$?
  {
    echo "### Settings writer killed"
    echo
    echo "\`TOVALIX_CRASH_KILLS=$kills\` test_settings_crash (dev build), $started, $(machine);"
    echo "exit status $status. Two writers, each killed $kills times with SIGKILL at a random"
    echo "moment: a child storing all 21 settings over and over (and clearing them now and then),"
    echo "and a child initializing a terminal over and over against its own gateway simulator."
    echo "After each kill the file must read as whole lines and CargaParametros must answer with"
    echo "one whole generation (one whole terminal), or false with exactly one message and no"
    echo "value left behind. A temporary file left by the last kill is removed by the next write."
    echo
    echo '```'
    grep -E 'kills \(seed|PASSED|FAILED|Failure' <<<"$out" | head -n 20
    echo '```'
  } >"$parts/kills.md"
  splice_report
  return "$status"
}

step_valgrind() {
  local status=0 started log
  log=$(mktemp -d)
  cmake --preset valgrind >/dev/null
  cmake --build --preset valgrind -j "$(nproc)" >/dev/null
  started=$(now)
  local began=$SECONDS
  ctest --preset valgrind -j "$(nproc)" >"$log/ctest.txt" 2>&1 || status=$?
  local demos=()
  for model in ipp320 ingenico3070 vx810 optimum nurit293; do
    local demo_status=0
    (cd "$log" && valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
      "$OLDPWD/build/valgrind/bin/tovalix" demo --model "$model" >"demo-$model.out" 2>"demo-$model.err") ||
      demo_status=$?
    local summary
    summary=$(grep -E 'ERROR SUMMARY|definitely lost|indirectly lost|All heap blocks were freed' \
      "$log/demo-$model.err" | sed 's/^==[0-9]*== *//' | paste -sd ';' -)
    demos+=("| $model | $demo_status | $summary |")
    [ "$demo_status" = 0 ] || status=1
  done
  {
    echo "### Valgrind memcheck"
    echo
    echo "The \`valgrind\` preset (debug build; ctest runs every test, corpus replay and C host"
    echo "through valgrind --leak-check=full --error-exitcode=99), $started, $(machine),"
    echo "$(((SECONDS - began) / 60)) minutes; exit status $status."
    echo
    echo '```'
    grep -E 'tests passed|tests failed|Total Test time|\*\*\*(Failed|Timeout|Exception)|Not Run' \
      "$log/ctest.txt" | head -n 40
    echo '```'
    echo
    echo "\`tovalix demo\` under valgrind, each model:"
    echo
    echo "| model | exit status | memcheck |"
    echo "|---|---|---|"
    printf '%s\n' "${demos[@]}"
  } >"$parts/valgrind.md"
  rm -rf "$log"
  splice_report
  return "$status"
}

# One target's figures from its libFuzzer log: executions, rate, corpus, and how it ended.
fuzz_row() {
  local dir=$1 target=$2 log="$1/$2.log"
  if [ ! -f "$dir/$target.rc" ]; then
    echo "| $target | | | | | not run, or not finished |"
    return
  fi
  local rc runs rate corpus cov ended="clean"
  rc=$(cat "$dir/$target.rc")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[bKM]*b?' "$log" | tail -n 1 | cut -d' ' -f2)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  if [ "$rc" != 0 ]; then
    ended="exit $rc: $(grep -m 1 -E 'ERROR: |runtime error' "$log" | cut -c1-120)"
  fi
  echo "| $target | ${runs:-?} | ${rate:-?} | ${cov:-?} | ${corpus:-?} | $ended |"
}

step_fuzz_report() {
  local dir=$1 minutes="${2:-30}" status=0 rows=()
  for target in "${driver_targets[@]}"; do
    rows+=("$(fuzz_row "$dir" "$target")")
    [ "$(cat "$dir/$target.rc" 2>/dev/null)" = 0 ] || status=1
  done
  {
    echo "### Fuzzing the drivers' parsers"
    echo
    echo "Each driver target of the \`fuzz\` preset (libFuzzer, AddressSanitizer and"
    echo "UndefinedBehaviorSanitizer, the library instrumented too) ran $minutes minutes from the"
    echo "corpus in tests/fuzz/corpus, $(cat "$dir/at_once" 2>/dev/null || echo "several") at a time at"
    echo "the lowest priority on a machine with $(nproc) cores, from $(cat "$dir/first_start" 2>/dev/null || echo "?")"
    echo "to $(cat "$dir/last_end" 2>/dev/null || echo "?")."
    [ -f "$dir/note" ] && echo && cat "$dir/note"
    echo
    echo "| target | executions | per second | coverage | corpus (units/bytes) | ended |"
    echo "|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
  } >"$parts/fuzz.md"
  splice_report
  return "$status"
}

step_fuzz() {
  local minutes="${1:-30}" at_once="${2:-3}" dir="${3:-$(mktemp -d)}"
  cmake --preset fuzz >/dev/null
  cmake --build --preset fuzz -j "$(nproc)" --target "${driver_targets[@]}" >/dev/null
  mkdir -p "$dir"
  echo "$at_once" >"$dir/at_once"
  now >"$dir/first_start"
  run_target() {
    local target=$1 corpus="$dir/corpus/$1"
    mkdir -p "$corpus" "$dir/findings/$target"
    cp -n "tests/fuzz/corpus/${target#fuzz_}"/* "$corpus"/ 2>/dev/null || true
    local rc=0
    nice -n 19 "build/fuzz/bin/$target" -max_total_time=$((minutes * 60)) -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$dir/findings/$target/" "$corpus" \
      >"$dir/$target.log" 2>&1 || rc=$?
    echo "$rc" >"$dir/$target.rc"
  }
  local running=0
  for target in "${driver_targets[@]}"; do
    run_target "$target" &
    running=$((running + 1))
    if [ "$running" -ge "$at_once" ]; then
      wait -n || true
      running=$((running - 1))
    fi
  done
  wait || true
  now >"$dir/last_end"
  echo "fuzz: logs, corpora and findings in $dir" >&2
  step_fuzz_report "$dir" "$minutes"
}

# The whole script is read before a step starts, so editing it during a long run is safe.
main() {
  case "${1:-}" in
    soak) shift; step_soak "$@" ;;
    kills) shift; step_kills "$@" ;;
    valgrind) shift; step_valgrind "$@" ;;
    fuzz) shift; step_fuzz "$@" ;;
    fuzz-report) shift; step_fuzz_report "$@" ;;
    splice) splice_report ;;
    *) sed -n '2,10p' "$0" >&2; exit 2 ;;
  esac
}
main "$@"; exit
