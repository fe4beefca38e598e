#!/usr/bin/env bash
# Builds the libFuzzer targets (clang++, ASan + UBSan) and runs each one for a bounded time on a
# copy of its seed corpus; prints executions and findings per target.
#   fuzz/run.sh [seconds per target, default 60] [target...]
# Environment: QELO_FUZZ_PARALLEL (targets run at the same time, default 1), QELO_JOBS (build).
# Findings (crash-*, leak-*, timeout-*, oom-*) are kept in build/harden-fuzz/artifacts/<target>/.
# Exits non-zero when a target finds something or does not build.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
build=build/harden-fuzz
jobs="${QELO_JOBS:-2}"
parallel="${QELO_FUZZ_PARALLEL:-1}"

mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQELO_FUZZ=ON -DQELO_BUILD_TESTS=OFF \
  -DQELO_BUILD_BENCHMARKS=OFF >"$build/qelo-configure.log" 2>&1 || {
  cat "$build/qelo-configure.log"; exit 1; }

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    if grep -q "fuzz_${name}: skipped" "$build/qelo-configure.log"; then
      echo "fuzz_${name}: not built ($(grep "fuzz_${name}: skipped" "$build/qelo-configure.log" | sed 's/.*skipped, //'))"
      continue
    fi
    targets+=("$name")
  done
fi

status=0
declare -A built
for name in "${targets[@]}"; do
  if cmake --build "$build" -j"$jobs" --target "fuzz_${name}" >"$build/build-${name}.log" 2>&1; then
    built[$name]=1
  else
    tail -30 "$build/build-${name}.log"
    status=1
  fi
done

run_one() {
  local name=$1
  local work="$build/corpus/$name" artifacts="$build/artifacts/$name" log="$build/run-${name}.log"
  mkdir -p "$work" "$artifacts"
  local seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  local dict=()
  [ -f "fuzz/${name}.dict" ] && dict=(-dict="fuzz/${name}.dict")
  find "$artifacts" -type f | sort >"$build/before-${name}.lst"
  # detect_leaks stays on: a leak is a finding like any other.
  ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$build/fuzz/fuzz_${name}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
      -max_len=65536 -print_final_stats=1 "${dict[@]}" -artifact_prefix="$artifacts/" \
      "$work" "${seeds[@]}" >"$log" 2>&1
  echo $? >"$build/rc-${name}"
}

running=0
for name in "${targets[@]}"; do
  [ -n "${built[$name]:-}" ] || continue
  run_one "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

echo
printf '%-18s %14s %10s  %s\n' "target" "executions" "findings" "result (${seconds} s each)"
for name in "${targets[@]}"; do
  if [ -z "${built[$name]:-}" ]; then
    printf '%-18s %14s %10s  %s\n' "$name" "-" "-" "BUILD FAILED"
    continue
  fi
  log="$build/run-${name}.log"
  rc=$(cat "$build/rc-${name}")
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -1 | grep -o '[0-9]*$')
  new_files=$(find "$build/artifacts/$name" -type f | sort | comm -13 "$build/before-${name}.lst" -)
  found=$(printf '%s' "$new_files" | grep -c . || true)
  if [ "$rc" -ne 0 ] || [ "$found" -gt 0 ]; then
    status=1
    verdict="FINDING (exit $rc): $(printf '%s' "$new_files" | head -3 | tr '\n' ' ')"
  else
    verdict="clean"
  fi
  printf '%-18s %14s %10s  %s\n' "$name" "${execs:-?}" "$found" "$verdict"
  if [ "$verdict" != clean ]; then
    grep -m1 -E 'ERROR: (AddressSanitizer|libFuzzer|LeakSanitizer)|runtime error' "$log" | sed 's/^/    /'
  fi
done
exit "$status"
